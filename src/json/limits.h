#pragma once
// The numbers the parser and the writers must agree on. The parser sizes a document's written
// forms from them while it reads (see "Size bounds" in README.md); the writers then write by
// the same numbers into a buffer of that size. Change one here and both sides follow.
#include <cstddef>
#include <string_view>

namespace vtm::json_detail {

// Containers open at once: an opening bracket beyond this many fails the parse. A document's
// deepest line is therefore indented MAX_DEPTH levels (the contents of the innermost one).
inline constexpr int MAX_DEPTH = 127;

// The indented form: each level adds this many spaces after a line feed, and a key is followed
// by INDENTED_COLON instead of the compact ":".
inline constexpr std::size_t INDENT_WIDTH = 2;
inline constexpr std::string_view COMPACT_COLON = ":";
inline constexpr std::string_view INDENTED_COLON = ": ";

// A line feed and the indentation of a line at `level`.
constexpr std::size_t line_bytes(std::size_t level) { return 1 + INDENT_WIDTH * level; }

// Float text: "-1.2345678901234567e-308" (sign, 17 digits, point, marker, sign, three exponent
// digits) is the longest the writers produce.
inline constexpr std::size_t FLOAT_TEXT_MAX = 24;

// The writers copy short runs as fixed-size blocks (16, 32 or 64 bytes) and trim by moving
// their end: a sized output buffer keeps this many bytes past its bound for the overhang, and
// a float is written into this much room.
inline constexpr std::size_t OUTPUT_SLACK = 64;
inline constexpr std::size_t FLOAT_TEXT_ROOM = OUTPUT_SLACK;
static_assert(FLOAT_TEXT_MAX + 32 <= FLOAT_TEXT_ROOM, "float layout copies 32-byte blocks");

// Debug and sanitizer builds (the tests, the fuzzer) stop at once when a written form exceeds its
// bound; release builds report it as a failure. Either way nothing is written past the buffer.
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__)
inline constexpr bool STOP_AT_EXCEEDED_BOUND = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool STOP_AT_EXCEEDED_BOUND = true;
#else
inline constexpr bool STOP_AT_EXCEEDED_BOUND = false;
#endif
#else
inline constexpr bool STOP_AT_EXCEEDED_BOUND = false;
#endif

}  // namespace vtm::json_detail
