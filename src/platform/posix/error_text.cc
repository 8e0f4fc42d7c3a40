#include <cstring>

#include "platform/platform.h"

namespace vtm::platform {

std::string os_error_text(int code) {
  std::string text = std::strerror(code);
  while (!text.empty()) {
    char c = text.back();
    if (c != ' ' && c != '\t' && c != '\n' && c != '\f' && c != '\r') break;
    text.pop_back();
  }
  text += " (os error ";
  text += std::to_string(code);
  text += ')';
  return text;
}

}  // namespace vtm::platform
