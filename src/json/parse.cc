#include "json/parse.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "json/key_order.h"
#include "json/string_scan.h"
#include "text/utf8.h"

namespace vtm {

namespace {

enum class ParseError : std::uint8_t {
  EofWhileParsingValue,
  EofWhileParsingList,
  EofWhileParsingObject,
  EofWhileParsingString,
  ExpectedColon,
  ExpectedListCommaOrEnd,
  ExpectedObjectCommaOrEnd,
  ExpectedIdent,
  ExpectedValue,
  InvalidEscape,
  InvalidNumber,
  NumberOutOfRange,
  InvalidUnicodeCodePoint,
  ControlCharacter,
  KeyMustBeAString,
  LoneLeadingSurrogate,
  UnexpectedEndOfHexEscape,
  TrailingComma,
  TrailingCharacters,
  RecursionLimitExceeded,
};

const char* message_of(ParseError e) {
  switch (e) {
    case ParseError::EofWhileParsingValue:
      return "EOF while parsing a value";
    case ParseError::EofWhileParsingList:
      return "EOF while parsing a list";
    case ParseError::EofWhileParsingObject:
      return "EOF while parsing an object";
    case ParseError::EofWhileParsingString:
      return "EOF while parsing a string";
    case ParseError::ExpectedColon:
      return "expected `:`";
    case ParseError::ExpectedListCommaOrEnd:
      return "expected `,` or `]`";
    case ParseError::ExpectedObjectCommaOrEnd:
      return "expected `,` or `}`";
    case ParseError::ExpectedIdent:
      return "expected ident";
    case ParseError::ExpectedValue:
      return "expected value";
    case ParseError::InvalidEscape:
      return "invalid escape";
    case ParseError::InvalidNumber:
      return "invalid number";
    case ParseError::NumberOutOfRange:
      return "number out of range";
    case ParseError::InvalidUnicodeCodePoint:
      return "invalid unicode code point";
    case ParseError::ControlCharacter:
      return "control character (\\u0000-\\u001F) found while parsing a string";
    case ParseError::KeyMustBeAString:
      return "key must be a string";
    case ParseError::LoneLeadingSurrogate:
      return "lone leading surrogate in hex escape";
    case ParseError::UnexpectedEndOfHexEscape:
      return "unexpected end of hex escape";
    case ParseError::TrailingComma:
      return "trailing comma";
    case ParseError::TrailingCharacters:
      return "trailing characters";
    case ParseError::RecursionLimitExceeded:
      return "recursion limit exceeded";
  }
  return "";
}

// The binary64 values nearest to 10^0 .. 10^308.
constexpr double kPow10[309] = {
    1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,
    1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22,  1e23,  1e24,  1e25,
    1e26,  1e27,  1e28,  1e29,  1e30,  1e31,  1e32,  1e33,  1e34,  1e35,  1e36,  1e37,  1e38,
    1e39,  1e40,  1e41,  1e42,  1e43,  1e44,  1e45,  1e46,  1e47,  1e48,  1e49,  1e50,  1e51,
    1e52,  1e53,  1e54,  1e55,  1e56,  1e57,  1e58,  1e59,  1e60,  1e61,  1e62,  1e63,  1e64,
    1e65,  1e66,  1e67,  1e68,  1e69,  1e70,  1e71,  1e72,  1e73,  1e74,  1e75,  1e76,  1e77,
    1e78,  1e79,  1e80,  1e81,  1e82,  1e83,  1e84,  1e85,  1e86,  1e87,  1e88,  1e89,  1e90,
    1e91,  1e92,  1e93,  1e94,  1e95,  1e96,  1e97,  1e98,  1e99,  1e100, 1e101, 1e102, 1e103,
    1e104, 1e105, 1e106, 1e107, 1e108, 1e109, 1e110, 1e111, 1e112, 1e113, 1e114, 1e115, 1e116,
    1e117, 1e118, 1e119, 1e120, 1e121, 1e122, 1e123, 1e124, 1e125, 1e126, 1e127, 1e128, 1e129,
    1e130, 1e131, 1e132, 1e133, 1e134, 1e135, 1e136, 1e137, 1e138, 1e139, 1e140, 1e141, 1e142,
    1e143, 1e144, 1e145, 1e146, 1e147, 1e148, 1e149, 1e150, 1e151, 1e152, 1e153, 1e154, 1e155,
    1e156, 1e157, 1e158, 1e159, 1e160, 1e161, 1e162, 1e163, 1e164, 1e165, 1e166, 1e167, 1e168,
    1e169, 1e170, 1e171, 1e172, 1e173, 1e174, 1e175, 1e176, 1e177, 1e178, 1e179, 1e180, 1e181,
    1e182, 1e183, 1e184, 1e185, 1e186, 1e187, 1e188, 1e189, 1e190, 1e191, 1e192, 1e193, 1e194,
    1e195, 1e196, 1e197, 1e198, 1e199, 1e200, 1e201, 1e202, 1e203, 1e204, 1e205, 1e206, 1e207,
    1e208, 1e209, 1e210, 1e211, 1e212, 1e213, 1e214, 1e215, 1e216, 1e217, 1e218, 1e219, 1e220,
    1e221, 1e222, 1e223, 1e224, 1e225, 1e226, 1e227, 1e228, 1e229, 1e230, 1e231, 1e232, 1e233,
    1e234, 1e235, 1e236, 1e237, 1e238, 1e239, 1e240, 1e241, 1e242, 1e243, 1e244, 1e245, 1e246,
    1e247, 1e248, 1e249, 1e250, 1e251, 1e252, 1e253, 1e254, 1e255, 1e256, 1e257, 1e258, 1e259,
    1e260, 1e261, 1e262, 1e263, 1e264, 1e265, 1e266, 1e267, 1e268, 1e269, 1e270, 1e271, 1e272,
    1e273, 1e274, 1e275, 1e276, 1e277, 1e278, 1e279, 1e280, 1e281, 1e282, 1e283, 1e284, 1e285,
    1e286, 1e287, 1e288, 1e289, 1e290, 1e291, 1e292, 1e293, 1e294, 1e295, 1e296, 1e297, 1e298,
    1e299, 1e300, 1e301, 1e302, 1e303, 1e304, 1e305, 1e306, 1e307, 1e308,
};

// Nesting: the counter starts at 128 and an opening bracket that brings it to 0 fails, so at
// most 127 containers are open at once.
constexpr int kMaxOpen = 127;

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

bool is_space(char c) {
  const auto u = static_cast<unsigned char>(c);
  constexpr std::uint64_t kMask = (1ull << ' ') | (1ull << '\t') | (1ull << '\n') | (1ull << '\r');
  return u <= ' ' && ((kMask >> u) & 1u) != 0;
}

int hex_value(char c) {
  if (is_digit(c)) return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  char buf[4];
  std::size_t n;
  if (cp < 0x80) {
    buf[0] = static_cast<char>(cp);
    n = 1;
  } else if (cp < 0x800) {
    buf[0] = static_cast<char>(0xC0 | (cp >> 6));
    buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 2;
  } else if (cp < 0x10000) {
    buf[0] = static_cast<char>(0xE0 | (cp >> 12));
    buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 3;
  } else {
    buf[0] = static_cast<char>(0xF0 | (cp >> 18));
    buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 4;
  }
  out.append(buf, n);
}

// significand × 10^exponent by the fixed recipe: the nearest-binary64 power table, and for
// exponents beyond it repeated division by 1e308. Deliberately not correctly rounded.
bool f64_from_parts(std::uint64_t significand, std::int32_t exponent, double& out) {
  double f = static_cast<double>(significand);
  std::int64_t x = exponent;
  while (true) {
    const std::int64_t ax = x < 0 ? -x : x;
    if (ax <= 308) {
      if (x >= 0) {
        f *= kPow10[ax];
        if (std::isinf(f)) return false;
      } else {
        f /= kPow10[ax];
      }
      break;
    }
    if (f == 0.0) break;
    if (x >= 0) return false;
    f /= 1e308;
    x += 308;
  }
  out = f;
  return true;
}

// A value (or key) read but not yet placed in its container: 16 bytes and no ownership, so
// the stacks stay small and cheap to grow. Text is a view into the input unless escapes made
// it differ, in which case it sits in owned_. Containers already closed sit in nested_.
struct Slot {
  enum Tag : std::uint8_t {
    Null,
    True,
    False,
    Unsigned,
    Negative,
    Float,
    Text,
    OwnedText,
    Nested,
    EmptyArray,
    EmptyObject,
  };
  std::uint64_t word;          // number bits, text address, or index into owned_ / nested_
  std::uint64_t size_and_tag;  // text length << 4 | tag

  Tag tag() const { return static_cast<Tag>(size_and_tag & 0xF); }
  std::size_t size() const { return static_cast<std::size_t>(size_and_tag >> 4); }
  static Slot of(Tag tag, std::uint64_t word = 0) { return Slot{word, tag}; }
  static Slot text(const char* data, std::size_t size) {
    return Slot{reinterpret_cast<std::uintptr_t>(data), (std::uint64_t{size} << 4) | Text};
  }
};

struct Frame {
  std::size_t slot_base;
  std::size_t key_base;
  std::size_t owned_base;
  std::size_t nested_base;
  bool is_object;
};

class Parser {
 public:
  explicit Parser(std::string_view input)
      : begin_(input.data()), p_(input.data()), end_(input.data() + input.size()) {}

  Result<JsonValue> run();

 private:
  bool fail(ParseError e, const char* at) {
    error_ = e;
    error_at_ = at;
    return false;
  }
  bool fail_eof(ParseError e) { return fail(e, end_); }
  Failure failure() const;
  Failure error(ParseError e, const char* at) {
    fail(e, at);
    return failure();
  }

  void skip_space() {
    while (p_ < end_ && is_space(*p_)) ++p_;
  }

  bool parse_string(Slot& out);
  bool parse_escaped_string(Slot& out, const char* start, const char* at, unsigned high);
  bool parse_unicode_escape(const char*& p, std::string& out);
  bool read_hex4(const char*& p, std::uint32_t& value);
  bool parse_number();
  bool parse_float(const char* p, bool negative, std::uint64_t significand, std::int64_t exponent);
  bool parse_literal(const char* literal, std::size_t length);
  void push_number(Slot::Tag tag, std::uint64_t word) { slots_.push_back(Slot::of(tag, word)); }
  void push_float(double d) { push_number(Slot::Float, std::bit_cast<std::uint64_t>(d)); }
  std::string_view text_of(const Slot& s) const {
    if (s.tag() == Slot::Text) return {reinterpret_cast<const char*>(s.word), s.size()};
    return owned_[s.word];
  }
  JsonValue take_value(const Slot& s);
  // Calls build with the arguments that construct the slot's JsonValue (text straight from
  // the input, everything else moved), so containers can build each element in place.
  template <class Build>
  decltype(auto) place_value(const Slot& s, Build&& build);
  template <class Build>
  decltype(auto) place_text(const Slot& s, Build&& build) {
    if (s.tag() == Slot::Text) {
      return build(std::string_view(reinterpret_cast<const char*>(s.word), s.size()));
    }
    return build(std::move(owned_[s.word]));
  }
  void release(const Frame& frame);
  void close_array();
  void close_object();

  const char* const begin_;
  const char* p_;
  const char* const end_;
  ParseError error_ = ParseError::EofWhileParsingValue;
  const char* error_at_ = nullptr;

  std::vector<Slot> slots_;         // values of the open containers, innermost last
  std::vector<Slot> keys_;          // keys of the open objects, innermost last
  std::vector<std::string> owned_;  // text with escapes resolved
  std::vector<JsonValue> nested_;   // closed containers not yet placed
  Frame frames_[kMaxOpen];
  int open_ = 0;
};

Failure Parser::failure() const {
  const std::size_t pos = static_cast<std::size_t>(error_at_ - begin_);
  // Positions are computed only here, so the success path never counts lines.
  std::size_t line_start = pos;
  while (line_start > 0 && begin_[line_start - 1] != '\n') --line_start;
  const std::size_t line =
      1 + static_cast<std::size_t>(std::count(begin_, begin_ + line_start, '\n'));
  std::string message = message_of(error_);
  message += " at line ";
  message += std::to_string(line);
  message += " column ";
  message += std::to_string(pos - line_start);
  return Failure{std::move(message)};
}

// p_ is just past the opening quotation mark.
bool Parser::parse_string(Slot& out) {
  const char* const start = p_;
  unsigned high = 0;
  const char* q = json_detail::find_string_special(start, end_, high);
  if (q == end_) [[unlikely]]
    return fail_eof(ParseError::EofWhileParsingString);
  if (*q == '"') [[likely]] {
    const std::string_view content(start, static_cast<std::size_t>(q - start));
    if (high != 0 && !is_valid_utf8(content))
      return fail(ParseError::InvalidUnicodeCodePoint, q + 1);
    out = Slot::text(start, content.size());
    p_ = q + 1;
    return true;
  }
  if (*q != '\\') return fail(ParseError::ControlCharacter, q + 1);
  return parse_escaped_string(out, start, q, high);
}

// `at` is the first backslash; content before it, from `start`, is plain.
bool Parser::parse_escaped_string(Slot& slot, const char* start, const char* at, unsigned high) {
  const std::size_t index = owned_.size();
  std::string& out = owned_.emplace_back();
  out.reserve(static_cast<std::size_t>(at - start) + 16);
  out.append(start, at);
  const char* p = at;
  while (true) {
    // *p is a backslash.
    ++p;
    if (p == end_) return fail_eof(ParseError::EofWhileParsingString);
    const char c = *p++;
    switch (c) {
      case '"':
        out.push_back('"');
        break;
      case '\\':
        out.push_back('\\');
        break;
      case '/':
        out.push_back('/');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'u':
        if (!parse_unicode_escape(p, out)) return false;
        break;
      default:
        return fail(ParseError::InvalidEscape, p);
    }
    const char* run = p;
    p = json_detail::find_string_special(run, end_, high);
    if (p == end_) return fail_eof(ParseError::EofWhileParsingString);
    out.append(run, p);
    if (*p == '"') break;
    if (*p != '\\') return fail(ParseError::ControlCharacter, p + 1);
  }
  // Escapes always yield whole characters; only raw non-ASCII bytes can make the content
  // invalid, alone or beside an escape.
  if (high != 0 && !is_valid_utf8(out)) return fail(ParseError::InvalidUnicodeCodePoint, p + 1);
  slot = Slot::of(Slot::OwnedText, index);
  p_ = p + 1;
  return true;
}

bool Parser::read_hex4(const char*& p, std::uint32_t& value) {
  if (end_ - p < 4) return fail_eof(ParseError::EofWhileParsingString);
  const int a = hex_value(p[0]);
  const int b = hex_value(p[1]);
  const int c = hex_value(p[2]);
  const int d = hex_value(p[3]);
  p += 4;
  if ((a | b | c | d) < 0) return fail(ParseError::InvalidEscape, p);
  value = static_cast<std::uint32_t>((a << 12) | (b << 8) | (c << 4) | d);
  return true;
}

// p is just past the "u".
bool Parser::parse_unicode_escape(const char*& p, std::string& out) {
  std::uint32_t n;
  if (!read_hex4(p, n)) return false;
  if (n >= 0xDC00 && n <= 0xDFFF) return fail(ParseError::LoneLeadingSurrogate, p);
  if (n < 0xD800 || n > 0xDBFF) {
    append_utf8(out, n);
    return true;
  }
  if (p == end_) return fail_eof(ParseError::EofWhileParsingString);
  if (*p != '\\') return fail(ParseError::UnexpectedEndOfHexEscape, p + 1);
  ++p;
  if (p == end_) return fail_eof(ParseError::EofWhileParsingString);
  if (*p != 'u') return fail(ParseError::UnexpectedEndOfHexEscape, p + 1);
  ++p;
  std::uint32_t n2;
  if (!read_hex4(p, n2)) return false;
  if (n2 < 0xDC00 || n2 > 0xDFFF) return fail(ParseError::LoneLeadingSurrogate, p);
  append_utf8(out, (((n - 0xD800) << 10) | (n2 - 0xDC00)) + 0x10000);
  return true;
}

// p_ is at the first byte of the literal, which the caller has matched.
bool Parser::parse_literal(const char* literal, std::size_t length) {
  for (std::size_t i = 1; i < length; ++i) {
    const char* q = p_ + i;
    if (q == end_) return fail_eof(ParseError::EofWhileParsingValue);
    if (*q != literal[i]) return fail(ParseError::ExpectedIdent, q + 1);
  }
  p_ += length;
  return true;
}

// p_ is at "-" or a digit.
bool Parser::parse_number() {
  const char* p = p_;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
    if (p == end_) return fail_eof(ParseError::EofWhileParsingValue);
    if (!is_digit(*p)) return fail(ParseError::InvalidNumber, p + 1);
  }
  std::uint64_t significand = 0;
  std::int64_t exponent = 0;
  if (*p == '0') {
    ++p;
    if (p < end_ && is_digit(*p)) return fail(ParseError::InvalidNumber, p + 1);
  } else {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    significand = static_cast<std::uint64_t>(*p - '0');
    ++p;
    while (p < end_ && is_digit(*p)) {
      const auto digit = static_cast<std::uint64_t>(*p - '0');
      if (significand >= kMax / 10 && (significand > kMax / 10 || digit > kMax % 10)) [[unlikely]] {
        // The first integer digit that does not fit and all later ones are dropped.
        while (p < end_ && is_digit(*p)) {
          ++p;
          ++exponent;
        }
        return parse_float(p, negative, significand, exponent);
      }
      significand = significand * 10 + digit;
      ++p;
    }
  }
  if (p < end_ && (*p == '.' || *p == 'e' || *p == 'E')) {
    return parse_float(p, negative, significand, exponent);
  }
  p_ = p;
  if (!negative) {
    push_number(Slot::Unsigned, significand);
  } else if (significand == 0) {
    push_float(-0.0);
  } else if (significand <= (std::uint64_t{1} << 63)) {
    push_number(Slot::Negative, 0 - significand);
  } else {
    push_float(-static_cast<double>(significand));
  }
  return true;
}

// p is at ".", "e" or "E" after the integer part, or just past an integer part that overflowed.
bool Parser::parse_float(const char* p, bool negative, std::uint64_t significand,
                         std::int64_t exponent) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  if (p < end_ && *p == '.') {
    ++p;
    const char* const digits = p;
    bool dropping = false;
    while (p < end_ && is_digit(*p)) {
      const auto digit = static_cast<std::uint64_t>(*p - '0');
      if (!dropping) {
        if (significand >= kMax / 10 && (significand > kMax / 10 || digit > kMax % 10)) {
          dropping = true;
        } else {
          significand = significand * 10 + digit;
          --exponent;
        }
      }
      ++p;
    }
    if (p == digits) {
      if (p == end_) return fail_eof(ParseError::EofWhileParsingValue);
      return fail(ParseError::InvalidNumber, p + 1);
    }
  }
  constexpr std::int64_t kI32Min = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kI32Max = std::numeric_limits<std::int32_t>::max();
  exponent = std::clamp(exponent, kI32Min, kI32Max);
  if (p < end_ && (*p == 'e' || *p == 'E')) {
    ++p;
    bool positive_exponent = true;
    if (p < end_ && (*p == '+' || *p == '-')) {
      positive_exponent = *p == '+';
      ++p;
    }
    if (p == end_) return fail_eof(ParseError::EofWhileParsingValue);
    if (!is_digit(*p)) return fail(ParseError::InvalidNumber, p + 1);
    std::int32_t explicit_exponent = *p - '0';
    ++p;
    while (p < end_ && is_digit(*p)) {
      const std::int32_t digit = *p - '0';
      ++p;
      if (explicit_exponent >= kI32Max / 10 &&
          (explicit_exponent > kI32Max / 10 || digit > kI32Max % 10)) {
        if (significand != 0 && positive_exponent) {
          return fail(ParseError::NumberOutOfRange, p);
        }
        while (p < end_ && is_digit(*p)) ++p;
        p_ = p;
        push_float(negative ? -0.0 : 0.0);
        return true;
      }
      explicit_exponent = explicit_exponent * 10 + digit;
    }
    exponent = positive_exponent ? exponent + explicit_exponent : exponent - explicit_exponent;
    exponent = std::clamp(exponent, kI32Min, kI32Max);
  }
  double f;
  if (!f64_from_parts(significand, static_cast<std::int32_t>(exponent), f)) {
    return fail(ParseError::NumberOutOfRange, p);
  }
  p_ = p;
  push_float(negative ? -f : f);
  return true;
}

template <class Build>
decltype(auto) Parser::place_value(const Slot& s, Build&& build) {
  switch (s.tag()) {
    case Slot::Null:
      return build(nullptr);
    case Slot::True:
      return build(true);
    case Slot::False:
      return build(false);
    case Slot::Unsigned:
      return build(JsonValue::from_u64(s.word));
    case Slot::Negative:
      return build(JsonValue::from_i64(static_cast<std::int64_t>(s.word)));
    case Slot::Float:
      return build(JsonValue::from_double(std::bit_cast<double>(s.word)));
    case Slot::Text:
    case Slot::OwnedText:
      return place_text(s, build);
    case Slot::Nested:
      return build(std::move(nested_[s.word]));
    case Slot::EmptyArray:
      return build(JsonArray{});
    case Slot::EmptyObject:
      break;
  }
  return build(JsonObject{});
}

JsonValue Parser::take_value(const Slot& s) {
  return place_value(s, [](auto&& arg) { return JsonValue(std::forward<decltype(arg)>(arg)); });
}

// Drops what the container just closed has taken: its slots, keys, texts and children.
void Parser::release(const Frame& frame) {
  slots_.resize(frame.slot_base);
  keys_.resize(frame.key_base);
  owned_.resize(frame.owned_base);
  nested_.resize(frame.nested_base);
}

void Parser::close_array() {
  const Frame& frame = frames_[--open_];
  JsonArray array;
  array.reserve(slots_.size() - frame.slot_base);
  for (std::size_t i = frame.slot_base; i < slots_.size(); ++i) {
    place_value(slots_[i],
                [&](auto&& arg) { array.emplace_back(std::forward<decltype(arg)>(arg)); });
  }
  release(frame);
  slots_.push_back(Slot::of(Slot::Nested, nested_.size()));
  nested_.emplace_back(std::move(array));
}

void Parser::close_object() {
  const Frame& frame = frames_[--open_];
  const std::size_t n = keys_.size() - frame.key_base;
  const Slot* const keys = keys_.data() + frame.key_base;
  const Slot* const values = slots_.data() + frame.slot_base;
  std::vector<JsonMember> members;
  members.reserve(n);
  const auto add = [&](std::size_t i) {
    place_text(keys[i], [&](auto&& key) {
      place_value(values[i], [&](auto&& value) {
        members.emplace_back(std::piecewise_construct,
                             std::forward_as_tuple(std::forward<decltype(key)>(key)),
                             std::forward_as_tuple(std::forward<decltype(value)>(value)));
      });
    });
  };
  // Keys that arrive strictly ascending (a host that sorts its maps, or our own writer) need
  // neither sorting nor the duplicate check.
  const auto in_order = [&](std::size_t i) {
    const std::string_view a = text_of(keys[i - 1]);
    const std::string_view b = text_of(keys[i]);
    // Distinct first bytes settle most pairs without the full comparison.
    if (!a.empty() && !b.empty() && a[0] != b[0]) {
      return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
    }
    return key_less(a, b);
  };
  std::size_t ascending = 1;
  while (ascending < n && in_order(ascending)) ++ascending;
  if (ascending >= n) {
    for (std::size_t i = 0; i < n; ++i) add(i);
  } else {
    const auto key_at = [&](std::uint32_t i) { return text_of(keys[i]); };
    // Of equal keys the last one in text order wins.
    json_detail::for_each_last_in_key_order(static_cast<std::uint32_t>(n), key_at, add);
  }
  release(frame);
  slots_.push_back(Slot::of(Slot::Nested, nested_.size()));
  nested_.emplace_back(JsonObject::from_sorted_unique(std::move(members)));
}

Result<JsonValue> Parser::run() {
  slots_.reserve(64);
  // A small state machine instead of recursion: the only stack is frames_, bounded by the
  // nesting limit. Each state either moves on or records an error and stops.
  enum class State { Value, Key, AfterValue };
  State state = State::Value;
  while (true) {
    switch (state) {
      case State::Value: {
        skip_space();
        if (p_ == end_) return error(ParseError::EofWhileParsingValue, end_);
        const char c = *p_;
        if (c == '"') {
          ++p_;
          Slot s;
          if (!parse_string(s)) return failure();
          slots_.push_back(s);
          state = State::AfterValue;
        } else if (c == '-' || is_digit(c)) {
          if (!parse_number()) return failure();
          state = State::AfterValue;
        } else if (c == '[' || c == '{') {
          if (open_ == kMaxOpen) return error(ParseError::RecursionLimitExceeded, p_ + 1);
          ++p_;
          const bool is_object = c == '{';
          frames_[open_++] =
              Frame{slots_.size(), keys_.size(), owned_.size(), nested_.size(), is_object};
          skip_space();
          if (p_ == end_) {
            return error(
                is_object ? ParseError::EofWhileParsingObject : ParseError::EofWhileParsingList,
                end_);
          }
          if (!is_object) {
            if (*p_ == ']') {
              ++p_;
              --open_;
              slots_.push_back(Slot::of(Slot::EmptyArray));
              state = State::AfterValue;
            }
            // Otherwise the first element follows, whatever byte comes.
          } else if (*p_ == '}') {
            ++p_;
            --open_;
            slots_.push_back(Slot::of(Slot::EmptyObject));
            state = State::AfterValue;
          } else if (*p_ == '"') {
            ++p_;
            state = State::Key;
          } else {
            return error(ParseError::KeyMustBeAString, p_ + 1);
          }
        } else if (c == 't') {
          if (!parse_literal("true", 4)) return failure();
          slots_.push_back(Slot::of(Slot::True));
          state = State::AfterValue;
        } else if (c == 'f') {
          if (!parse_literal("false", 5)) return failure();
          slots_.push_back(Slot::of(Slot::False));
          state = State::AfterValue;
        } else if (c == 'n') {
          if (!parse_literal("null", 4)) return failure();
          slots_.push_back(Slot::of(Slot::Null));
          state = State::AfterValue;
        } else {
          return error(ParseError::ExpectedValue, p_ + 1);
        }
        break;
      }
      case State::Key: {
        // p_ is just past the key's opening quotation mark.
        Slot key;
        if (!parse_string(key)) return failure();
        keys_.push_back(key);
        skip_space();
        if (p_ == end_) return error(ParseError::EofWhileParsingObject, end_);
        if (*p_ != ':') return error(ParseError::ExpectedColon, p_ + 1);
        ++p_;
        state = State::Value;
        break;
      }
      case State::AfterValue: {
        skip_space();
        if (open_ == 0) {
          if (p_ != end_) return error(ParseError::TrailingCharacters, p_ + 1);
          return take_value(slots_.back());
        }
        if (!frames_[open_ - 1].is_object) {
          if (p_ == end_) return error(ParseError::EofWhileParsingList, end_);
          const char c = *p_++;
          if (c == ',') {
            skip_space();
            if (p_ == end_) return error(ParseError::EofWhileParsingValue, end_);
            if (*p_ == ']') return error(ParseError::TrailingComma, p_ + 1);
            state = State::Value;
          } else if (c == ']') {
            close_array();
          } else {
            return error(ParseError::ExpectedListCommaOrEnd, p_);
          }
        } else {
          if (p_ == end_) return error(ParseError::EofWhileParsingObject, end_);
          const char c = *p_++;
          if (c == ',') {
            skip_space();
            if (p_ == end_) return error(ParseError::EofWhileParsingValue, end_);
            const char k = *p_++;
            if (k == '"') {
              state = State::Key;
            } else if (k == '}') {
              return error(ParseError::TrailingComma, p_);
            } else {
              return error(ParseError::KeyMustBeAString, p_);
            }
          } else if (c == '}') {
            close_object();
          } else {
            return error(ParseError::ExpectedObjectCommaOrEnd, p_);
          }
        }
        break;
      }
    }
  }
}

}  // namespace

Result<JsonValue> parse_json(std::string_view input) {
  Parser parser(input);
  return parser.run();
}

}  // namespace vtm
