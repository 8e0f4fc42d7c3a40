#pragma once
#include <string_view>

namespace vtm {

// Strict UTF-8: no overlong forms, no surrogate code points, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text);

}  // namespace vtm
