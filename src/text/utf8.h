#pragma once
// UTF-8 for the whole program: one set of strict rules (no overlong forms, no surrogate code
// points, nothing above U+10FFFF) behind the decoder and the validator, and the one encoder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vtm {

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

// The character at the front of text, which must not be empty.
Utf8Sequence decode_utf8_sequence(std::string_view text);

// True when the whole text is a series of Complete sequences; fast on ASCII runs.
bool is_valid_utf8(std::string_view text);

inline constexpr std::size_t MAX_UTF8_SEQUENCE_BYTES = 4;

// Writes the UTF-8 form of a code point (at most U+10FFFF) to out; returns its length, 1 to 4.
// Surrogate halves are the caller's to pair first.
std::size_t encode_utf8(char* out, std::uint32_t code_point);

// The same, appended to out.
void encode_utf8(std::string& out, std::uint32_t code_point);

}  // namespace vtm
