#include <windows.h>

#include <cwchar>
#include <span>

#include "platform/platform.h"
#include "platform/portable/command_line.h"
#include "platform/portable/program_arguments.h"

namespace vtm::platform {

Result<std::vector<std::string>> arguments() {
  const wchar_t* line = GetCommandLineW();
  // Split as the C runtime splits argv, so arguments arrive as other console programs see them.
  const std::vector<std::u16string> split =
      split_command_line(std::u16string(line, line + std::wcslen(line)));
  // The first is the program name, which always exists.
  return utf8_arguments(std::span(split).subspan(1));
}

}  // namespace vtm::platform
