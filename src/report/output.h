#pragma once
#include <string_view>

#include "platform/platform.h"

namespace vtm {

// Every write of the program goes through here. A missing stream drops the text; any other
// failure prints "failed printing to <stream>: <error>" on stderr and ends the run with 101.
void write_output(platform::StdStream stream, std::string_view bytes);

inline constexpr int EXIT_OUTPUT_FAILED = 101;

}  // namespace vtm
