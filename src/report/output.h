#pragma once
#include <span>
#include <string_view>

#include "platform/platform.h"

namespace vtm {

// Every write of the program goes through here. A missing stream drops the text; any other
// failure prints "failed printing to <stream>: <error>" on stderr and ends the run with
// STATUS_OUTPUT_FAILED.
void write_output(platform::StdStream stream, std::string_view bytes);
// A text held in pieces, written in order as one text.
void write_output(platform::StdStream stream, std::span<const std::string_view> pieces);

}  // namespace vtm
