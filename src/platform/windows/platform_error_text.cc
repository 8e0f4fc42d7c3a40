#include <windows.h>

#include "platform/platform.h"
#include "platform/portable/platform_error_text.h"
#include "platform/windows/wide_text.h"

namespace vtm::platform {

namespace {

// Codes with this bit are NT status values, described by NTDLL's message table.
constexpr DWORD NT_STATUS_FACILITY_BIT = 0x10000000;

std::string platform_error_description(int code) {
  DWORD message_id = static_cast<DWORD>(code);
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  HMODULE module = nullptr;
  if ((message_id & NT_STATUS_FACILITY_BIT) != 0) {
    module = GetModuleHandleW(L"NTDLL.DLL");
    if (module != nullptr) {
      message_id &= ~NT_STATUS_FACILITY_BIT;
      flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS;
    }
  }
  wchar_t buffer[2048];
  const DWORD length =
      FormatMessageW(flags, module, message_id, 0, buffer, static_cast<DWORD>(std::size(buffer)),
                     nullptr);
  if (length == 0) {
    return message_lookup_failed_description(code, static_cast<int>(GetLastError()));
  }
  std::optional<std::string> text = wide_to_utf8(buffer, length);
  if (!text) return message_invalid_utf16_description(code);
  return std::move(*text);
}

}  // namespace

std::string platform_error_text(int code) {
  return platform_error_text(platform_error_description(code), code);
}

}  // namespace vtm::platform
