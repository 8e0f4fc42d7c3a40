#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vtm::platform {

// A Windows command line split the way the C runtime builds argv from it. The first element is
// always the program name, empty for an empty line or one that starts with a blank; callers
// that want the arguments alone drop it.
//
// The program name ends at the first space or tab outside quotes; quotes only group there,
// because a path holds no quote, so a backslash before one is an ordinary character.
// Arguments are separated by runs of spaces and tabs. 2n backslashes before a quote give n
// backslashes and the quote opens or closes a quoted run; 2n+1 give n backslashes and a literal
// quote; backslashes before anything else are literal. Inside a quoted run a doubled quote gives
// one literal quote and the run goes on. An unterminated quote runs to the end of the line.
std::vector<std::u16string> split_command_line(std::u16string_view line);

}  // namespace vtm::platform
