#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vtm {

// Strict UTF-8: no overlong forms, no surrogate code points, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text);

// Writes the UTF-8 form of a code point (at most U+10FFFF) to out; returns its length, 1 to 4.
std::size_t encode_utf8(char* out, std::uint32_t code_point);

}  // namespace vtm
