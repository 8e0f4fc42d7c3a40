#include <cstring>

#include "platform/platform.h"
#include "platform/portable/os_error_format.h"

namespace vtm::platform {

std::string os_error_text(int code) { return platform_error_text(std::strerror(code), code); }

}  // namespace vtm::platform
