#pragma once
#include <string>
#include <string_view>

namespace vtm::platform {

// "<description> (os error N)", the description without its trailing white space (space, tab,
// line feed, form feed, carriage return); message tables end their texts with "\r\n".
std::string platform_error_text(std::string_view description, int code);

// Descriptions for when the system cannot describe a code itself.
std::string message_lookup_failed_description(int code, int lookup_error);
std::string message_invalid_utf16_description(int code);

}  // namespace vtm::platform
