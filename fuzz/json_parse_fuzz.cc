// Any bytes into parse_json. A failure must be one of the documented messages with a position
// inside the input; a success must render in both forms and parse back to the same document.
// Floats are allowed to move by a few units in the last place on the way back: the number
// reader is deliberately not correctly rounded, so shortest text need not read back exactly.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "json/float_reference.h"
#include "json/json_value.h"
#include "json/number.h"
#include "json/parse.h"
#include "json/write.h"

namespace {

constexpr std::string_view MESSAGES[] = {
    "EOF while parsing a value",
    "EOF while parsing a list",
    "EOF while parsing an object",
    "EOF while parsing a string",
    "expected `:`",
    "expected `,` or `]`",
    "expected `,` or `}`",
    "expected ident",
    "expected value",
    "invalid escape",
    "invalid number",
    "number out of range",
    "invalid unicode code point",
    "control character (\\u0000-\\u001F) found while parsing a string",
    "key must be a string",
    "lone leading surrogate in hex escape",
    "unexpected end of hex escape",
    "trailing comma",
    "trailing characters",
    "recursion limit exceeded",
};

[[noreturn]] void fail() { std::abort(); }

bool parse_decimal(std::string_view text, std::size_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return true;
}

void check_failure(std::string_view input, std::string_view error) {
  const std::size_t at = error.rfind(" at line ");
  if (at == std::string_view::npos) fail();
  const std::string_view message = error.substr(0, at);
  bool known = false;
  for (std::string_view m : MESSAGES) known = known || m == message;
  if (!known) fail();
  const std::string_view position = error.substr(at + 9);
  const std::size_t column_at = position.find(" column ");
  std::size_t line = 0;
  std::size_t column = 0;
  if (column_at == std::string_view::npos || !parse_decimal(position.substr(0, column_at), line) ||
      !parse_decimal(position.substr(column_at + 8), column)) {
    fail();
  }
  // Rebuild the offset from line and column; it must lie within the input.
  std::size_t line_start = 0;
  for (std::size_t l = 1; l < line; ++l) {
    const std::size_t lf = input.find('\n', line_start);
    if (lf == std::string_view::npos) fail();
    line_start = lf + 1;
  }
  if (line == 0 || line_start + column > input.size()) fail();
  // An error at the end of the input is an EOF error, and every EOF error is at the end.
  const bool at_end = line_start + column == input.size();
  const bool eof = message.substr(0, 3) == "EOF";
  if (eof && !at_end) fail();
}

std::int64_t ordered(double d) {
  const auto b = std::bit_cast<std::int64_t>(d);
  return b < 0 ? std::numeric_limits<std::int64_t>::min() - b : b;
}

bool near(double a, double b) {
  if (std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b)) return true;
  if (std::signbit(a) != std::signbit(b)) return false;
  const std::int64_t d = ordered(a) - ordered(b);
  return d >= -8 && d <= 8;
}

bool same_document(const vtm::JsonValue& a, const vtm::JsonValue& b) {
  using Kind = vtm::JsonValue::Kind;
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Kind::Float:
      return near(a.as_double(), b.as_double());
    case Kind::Array: {
      const auto& x = a.as_array();
      const auto& y = b.as_array();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (!same_document(x[i], y[i])) return false;
      }
      return true;
    }
    case Kind::Object: {
      const auto& x = a.as_object().members();
      const auto& y = b.as_object().members();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i].first != y[i].first || !same_document(x[i].second, y[i].second)) return false;
      }
      for (std::size_t i = 1; i < x.size(); ++i) {
        if (!vtm::key_less(x[i - 1].first, x[i].first)) return false;
      }
      return true;
    }
    default:
      return a == b;
  }
}

bool has_huge_float(const vtm::JsonValue& v) {
  using Kind = vtm::JsonValue::Kind;
  switch (v.kind()) {
    case Kind::Float:
      return std::fabs(v.as_double()) > 1.7e308;
    case Kind::Array:
      for (const auto& e : v.as_array()) {
        if (has_huge_float(e)) return true;
      }
      return false;
    case Kind::Object:
      for (const auto& m : v.as_object().members()) {
        if (has_huge_float(m.second)) return true;
      }
      return false;
    default:
      return false;
  }
}

// The writer's float text against the text laid out from std::to_chars's digits.
void check_float_text(double d) {
  char text[vtm::json_detail::FLOAT_TEXT_ROOM];
  const char* const end = vtm::json_detail::write_float_text(text, d);
  if (std::string_view(text, static_cast<std::size_t>(end - text)) !=
      vtm::testing::to_chars_float_text(d)) {
    fail();
  }
}

void check_float_texts(const vtm::JsonValue& v) {
  using Kind = vtm::JsonValue::Kind;
  switch (v.kind()) {
    case Kind::Float:
      return check_float_text(v.as_double());
    case Kind::Array:
      for (const auto& e : v.as_array()) check_float_texts(e);
      return;
    case Kind::Object:
      for (const auto& m : v.as_object().members()) check_float_texts(m.second);
      return;
    default:
      return;
  }
}

}  // namespace

// The quick number road must agree with the full recipe on everything it accepts.
void check_number_roads(std::string_view input) {
  using vtm::json_detail::NumberScan;
  if (input.empty() || (input[0] != '-' && (input[0] < '0' || input[0] > '9'))) return;
  const char* const end = input.data() + input.size();
  const NumberScan quick = vtm::json_detail::scan_number(input.data(), end);
  const NumberScan full = vtm::json_detail::scan_number_exactly(input.data(), end);
  if (quick.kind != full.kind || quick.end != full.end || quick.negative != full.negative) fail();
  if (quick.kind == NumberScan::Kind::Error
          ? quick.error != full.error
          : (vtm::json_detail::scanned_value(input.data(), quick) != full.value ||
             quick.exponent != full.exponent)) {
    fail();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  check_number_roads(input);
  // Any eight bytes are a double too: every bit pattern, not only those a number reads to.
  if (size >= sizeof(double)) {
    double d;
    std::memcpy(&d, data, sizeof d);
    check_float_text(d);
  }
  const vtm::Result<vtm::JsonValue> parsed = vtm::parse_json(input);
  if (!parsed.ok()) {
    check_failure(input, parsed.error());
    return 0;
  }
  const vtm::JsonValue& value = parsed.value();
  check_float_texts(value);
  const std::string compact = vtm::to_compact_text(value);
  const std::string indented = vtm::to_indented_text(value);
  // The borrowed document writes the same bytes as the tree.
  std::string text(input);
  const vtm::Result<vtm::JsonDocument> document = vtm::parse_document(text);
  if (!document.ok()) fail();
  for (const bool compact_form : {true, false}) {
    const std::string& expected = compact_form ? compact : indented;
    // Through the usual buffer and through the smallest, which flushes often and sends any text
    // of 64 bytes or more straight out.
    for (const std::size_t buffer : {vtm::RENDER_BUFFER_BYTES, std::size_t{64}}) {
      const std::string joined =
          vtm::render_document_text(document.value(), compact_form, true, buffer);
      if (joined.size() != expected.size() + 1 ||
          joined.compare(0, expected.size(), expected) != 0 || joined.back() != '\n') {
        fail();
      }
    }
  }
  if (compact.find('\n') != std::string::npos) fail();
  const vtm::Result<vtm::JsonValue> from_compact = vtm::parse_json(compact);
  const vtm::Result<vtm::JsonValue> from_indented = vtm::parse_json(indented);
  if (!from_compact.ok() || !from_indented.ok()) {
    // The one allowed way back to fail: a float at the very top of the range that the
    // number reader rounds up past the largest finite value.
    if (from_compact.ok() || from_indented.ok() || !has_huge_float(value)) fail();
    if (from_compact.error() != from_indented.error() &&
        from_compact.error().rfind("number out of range", 0) != 0) {
      fail();
    }
    return 0;
  }
  // Both forms hold the same tokens, so they read back identically.
  if (!(from_compact.value() == from_indented.value())) fail();
  if (!same_document(value, from_compact.value())) fail();
  if (vtm::to_compact_text(from_indented.value()) != vtm::to_compact_text(from_compact.value())) {
    fail();
  }
  return 0;
}
