#pragma once
#include <cstddef>
#include <string_view>

namespace vtm::platform {

struct Utf8Sequence {
  enum class Kind {
    Complete,   // one whole, well-formed character
    Truncated,  // a well-formed beginning of a character that the text ends in the middle of
    Invalid,    // bytes that can begin no character (overlong, surrogate, > U+10FFFF, stray)
  };
  Kind kind = Kind::Invalid;
  // Bytes taken: the whole character, or the longest well-formed beginning (at least 1), so an
  // invalid run counts as one unit the way a decoder replaces it with one U+FFFD.
  std::size_t length = 1;
  char32_t code_point = 0;  // when Complete
};

// The character at the front of text, which must not be empty. Strict: no overlong forms, no
// surrogate code points, nothing above U+10FFFF.
Utf8Sequence next_utf8_sequence(std::string_view text);

}  // namespace vtm::platform
