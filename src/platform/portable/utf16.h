#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace vtm::platform {

// nullopt when the text holds a surrogate that is not part of a high-low pair.
std::optional<std::string> utf16_to_utf8(std::u16string_view text);

// nullopt when the text is not strict UTF-8. NUL characters pass through unchanged.
std::optional<std::u16string> utf8_to_utf16(std::string_view text);

}  // namespace vtm::platform
