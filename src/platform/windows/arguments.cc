#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cwchar>
#include <memory>

#include "platform/platform.h"
#include "platform/portable/program_arguments.h"

namespace vtm::platform {

namespace {
struct LocalFreeDeleter {
  void operator()(LPWSTR* block) const { LocalFree(block); }
};
}  // namespace

Result<std::vector<std::string>> arguments() {
  int count = 0;
  // The platform's own splitting rules, so arguments arrive as every other program sees them.
  const std::unique_ptr<LPWSTR[], LocalFreeDeleter> split(
      CommandLineToArgvW(GetCommandLineW(), &count));
  if (!split) return Failure{os_error_text(static_cast<int>(GetLastError()))};
  std::vector<std::u16string> wide;
  for (int i = 1; i < count; ++i) {
    const wchar_t* argument = split[i];
    wide.emplace_back(argument, argument + std::wcslen(argument));
  }
  return utf8_arguments(wide);
}

}  // namespace vtm::platform
