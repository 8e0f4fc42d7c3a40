#include <string>

#include "platform/platform.h"
#include "text/utf8.h"

namespace vtm::platform {
namespace {
int g_argc = 0;
char** g_argv = nullptr;
}  // namespace

void set_main_arguments(int argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
}

Result<std::vector<std::string>> arguments() {
  std::vector<std::string> list;
  for (int i = 1; i < g_argc; ++i) {
    std::string_view arg(g_argv[i]);
    if (!is_valid_utf8(arg)) {
      return Failure{"argument " + std::to_string(i) + " is not valid UTF-8"};
    }
    list.emplace_back(arg);
  }
  return list;
}

}  // namespace vtm::platform
