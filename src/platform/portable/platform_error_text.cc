#include "platform/portable/platform_error_text.h"

namespace vtm::platform {

std::string platform_error_text(std::string_view description, int code) {
  const std::size_t end = description.find_last_not_of(" \t\n\f\r");
  description = end == std::string_view::npos ? std::string_view() : description.substr(0, end + 1);
  std::string text(description);
  text += " (os error ";
  text += std::to_string(code);
  text += ')';
  return text;
}

std::string message_lookup_failed_description(int code, int lookup_error) {
  return "OS Error " + std::to_string(code) + " (FormatMessageW() returned error " +
         std::to_string(lookup_error) + ")";
}

std::string message_invalid_utf16_description(int code) {
  return "OS Error " + std::to_string(code) + " (FormatMessageW() returned invalid UTF-16)";
}

}  // namespace vtm::platform
