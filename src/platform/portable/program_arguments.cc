#include "platform/portable/program_arguments.h"

#include "platform/portable/utf16.h"

namespace vtm::platform {

Result<std::vector<std::string>> utf8_arguments(std::span<const std::u16string> arguments) {
  std::vector<std::string> converted;
  converted.reserve(arguments.size());
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::optional<std::string> text = utf16_to_utf8(arguments[i]);
    if (!text) return Failure{"argument " + std::to_string(i + 1) + " is not valid UTF-8"};
    converted.push_back(std::move(*text));
  }
  return converted;
}

}  // namespace vtm::platform
