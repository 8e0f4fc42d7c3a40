#pragma once
// The numbers the parser and the writers must agree on: how deep a document may nest (the
// writers' prepared indentation covers the deepest line) and the shape of the written forms.
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
// their end: the render buffer keeps this many bytes past its capacity for the overhang, and a
// float is written into this much room.
inline constexpr std::size_t OUTPUT_SLACK = 64;
inline constexpr std::size_t FLOAT_TEXT_ROOM = OUTPUT_SLACK;
// The float layout writes and reads blocks of at most this many bytes, each starting inside the
// float's text.
inline constexpr std::size_t FLOAT_LAYOUT_BLOCK = 16;
static_assert(FLOAT_TEXT_MAX + FLOAT_LAYOUT_BLOCK <= FLOAT_TEXT_ROOM,
              "the float layout's blocks stay within a float's room");

}  // namespace vtm::json_detail
