#include "platform/platform.h"

namespace vtm::platform {

// main's narrow arguments are in the ANSI code page; the UTF-16 command line is the truth.
void set_main_arguments(int, char**) {}

}  // namespace vtm::platform
