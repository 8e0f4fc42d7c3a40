#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace vtm::platform {

std::optional<std::string> environment_variable(const char* name) {
  const std::optional<std::wstring> wide_name = utf8_to_wide(name);
  if (!wide_name) return std::nullopt;
  std::vector<wchar_t> buffer(512);
  for (;;) {
    // The result alone cannot tell an empty value from an absent one; the last error can.
    SetLastError(0);
    const DWORD length = GetEnvironmentVariableW(wide_name->c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() != 0) return std::nullopt;
      return std::string();
    }
    // Too small: the result is the size needed, terminator included. Loop, as the value may
    // have grown again before the next call.
    if (length >= buffer.size()) {
      buffer.resize(length);
      continue;
    }
    return wide_to_utf8(buffer.data(), length);
  }
}

}  // namespace vtm::platform
