#pragma once
// UTF-16 text as the Windows API holds it (wchar_t) to and from UTF-8. Copies through
// char16_t rather than aliasing the buffers, which the language does not allow.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/portable/utf16.h"

namespace vtm::platform {

inline std::optional<std::string> wide_to_utf8(const wchar_t* text, std::size_t size) {
  return utf16_to_utf8(std::u16string(text, text + size));
}

inline std::optional<std::wstring> utf8_to_wide(std::string_view text) {
  std::optional<std::u16string> units = utf8_to_utf16(text);
  if (!units) return std::nullopt;
  return std::wstring(units->begin(), units->end());
}

}  // namespace vtm::platform
