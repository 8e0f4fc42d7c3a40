#include <cstring>

#include "platform/platform.h"
#include "platform/portable/platform_error_text.h"

namespace vtm::platform {

std::string platform_error_text(int code) { return platform_error_text(std::strerror(code), code); }

}  // namespace vtm::platform
