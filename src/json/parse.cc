// The parser: one forward pass over the text that writes the document's nodes as it goes and
// sizes its written forms (README.md beside this file holds the formats). In reading order:
//   errors      the messages, and the position rule (at fail())
//   JsonParser  its state: open containers, the keys of open objects, remembered shapes
//   failure     turning an error into "message at line L column C"
//   strings     plain runs, escapes resolved in place, \u escapes
//   scalars     literals and numbers
//   containers  opening and closing; an ordered object's key order and its shape
//   members     a key and its value: one Pair node where the text allows
//   run         the state machine: a value, a member, what follows a value
//   entry points
#include "json/parse.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "json/key_order.h"
#include "json/limits.h"
#include "json/number.h"
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

using Tag = JsonDocument::Tag;
using Node = JsonDocument::Node;

using json_detail::is_digit;
using json_detail::is_space;

int hex_value(char c) {
  if (is_digit(c)) return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

ParseError error_of(json_detail::NumberScan::Error e) {
  switch (e) {
    case json_detail::NumberScan::Error::EofWhileParsingValue:
      return ParseError::EofWhileParsingValue;
    case json_detail::NumberScan::Error::InvalidNumber:
      return ParseError::InvalidNumber;
    case json_detail::NumberScan::Error::NumberOutOfRange:
      break;
  }
  return ParseError::NumberOutOfRange;
}

}  // namespace

// One forward pass that writes the document's nodes as it goes. Escaped strings are resolved
// in the text itself: the resolved form is never longer than the escaped one.
class JsonParser {
 public:
  JsonParser(std::span<char> text, std::pmr::memory_resource* memory)
      : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {
    doc_.text_ = begin_;
    doc_.text_end_ = end_;
    // Values take at least two bytes each, counting the comma or colon after them, so this
    // many nodes are rarely outgrown; a float's payload node is the exception.
    doc_.nodes_ = json_detail::PodBuffer<Node>(memory, text.size() / 2 + 2);
    // Key orders are shared by objects alike, so they are few: the array starts small (a large
    // reservation would be touched a large page at a time).
    doc_.order_ = json_detail::PodBuffer<std::uint32_t>(memory, 256);
    keys_ = json_detail::PodBuffer<Key>(memory, 64);
  }

  Result<JsonDocument> run();

 private:
  // What the text must hold next. After a value, the innermost open container decides.
  enum class State { Value, Key, AfterValue, Failed };
  // The steps stay in run()'s loop, as they were written there.
  [[gnu::always_inline]] inline State read_value();
  [[gnu::always_inline]] inline State open(bool is_object);
  [[gnu::always_inline]] inline State after_element();
  [[gnu::always_inline]] inline State after_member();
  Result<JsonDocument> finish();
  struct Key {
    std::uint64_t prefix;
    std::uint32_t offset;
    std::uint32_t length;
  };
  std::string_view key_text(const Key& k) const { return {begin_ + k.offset, k.length}; }
  // The last two kinds of unsorted object closed at one depth: their keys and the order they
  // sorted into. Objects at one depth of a response mostly share their keys, or alternate
  // between two sets (UI elements with and without an optional member), so most sorts become
  // a pass that finds the same keys again.
  static constexpr std::uint32_t MAX_SHAPE_KEYS = 16;
  struct Shape {
    std::uint32_t count = 0;  // 0: none yet
    std::uint32_t order = 0;  // where its key order starts
    Key keys[MAX_SHAPE_KEYS];
  };
  struct Shapes {
    Shape shape[2];
    unsigned recent = 0;  // the one that matched or was made last
  };
  bool same_keys(const Shape& shape, const Key* keys, std::uint32_t n) const;

  struct Open {
    std::uint32_t node;
    std::uint32_t key_base;  // where this object's member keys start in keys_
    bool is_object;
    bool ordered;  // keys not strictly ascending: sort when it closes
  };

  // Every error's position is one past the offending byte (a byte that cannot start or go on
  // with what is being read), or the end of the text when it ended too soon; the message counts
  // lines and columns up to there.
  bool fail(ParseError e, const char* at) {
    error_ = e;
    error_at_ = at;
    return false;
  }
  bool fail_eof(ParseError e) { return fail(e, end_); }
  State failed(ParseError e, const char* at) {
    fail(e, at);
    return State::Failed;
  }
  State failed_eof(ParseError e) { return failed(e, end_); }
  Failure failure() const;
  Failure error(ParseError e, const char* at) {
    fail(e, at);
    return failure();
  }

  // Most tokens follow at once, and one space (after a colon) is the next most common; longer
  // runs, an indented line's start, go sixteen bytes at a time.
  void skip_space() {
    if (p_ == end_ || !is_space(*p_)) return;
    ++p_;
    if (p_ == end_ || !is_space(*p_)) return;
    p_ = const_cast<char*>(json_detail::skip_space_run(p_, end_));
  }
  std::uint32_t offset_of(const char* p) const { return static_cast<std::uint32_t>(p - begin_); }
  void put(Tag tag, const char* at, std::uint32_t aux) {
    *doc_.nodes_.extend(1) = Node(tag, offset_of(at), aux);
  }
  void put_payload(std::uint64_t payload) { *doc_.nodes_.extend(1) = Node::payload(payload); }

  // A string read from the text: where its content starts, its length once resolved, and
  // whether it had escapes.
  struct Scanned {
    Tag tag;
    std::uint32_t offset;
    std::uint32_t length;
  };
  bool scan_string(Scanned& s);
  bool scan_escaped_string(char* start, char* at, unsigned high, Scanned& s);
  void put(const Scanned& s) { put(s.tag, begin_ + s.offset, s.length); }
  bool parse_string() {
    Scanned s;
    if (!scan_string(s)) return false;
    put(s);
    return true;
  }
  bool parse_unicode_escape(const char*& r, char*& w);
  bool read_hex4(const char*& p, std::uint32_t& value);
  bool parse_number();
  [[gnu::always_inline]] inline void put_number(const json_detail::NumberScan& n);
  bool parse_literal(const json_detail::Literal& literal);
  bool parse_member(bool& value_read);
  bool open_container(bool is_object);
  void close_array();
  void close_object();
  void note_key(const Scanned& key);

  char* const begin_;
  char* p_;
  char* const end_;
  ParseError error_ = ParseError::EofWhileParsingValue;
  const char* error_at_ = nullptr;

  JsonDocument doc_;
  json_detail::PodBuffer<Key> keys_;  // the keys of the open objects' members
  Open open_[json_detail::MAX_DEPTH];
  // Grown to the depths that need it: set up in full, the table would cost a small response
  // more than its whole parse (tens of kilobytes of fresh stack).
  std::vector<Shapes> shapes_;
  int depth_ = 0;

  // Resolved strings that now hold line feeds the text did not (from "\n" or "\u000a"): error
  // positions count the text's own lines, so they skip these spans. The span of a string being
  // resolved runs from resolved_begin_ to resolved_end_.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> made_line_feeds_;
  char* resolved_begin_ = nullptr;
  char* resolved_end_ = nullptr;
  bool resolved_line_feed_ = false;
};

Failure JsonParser::failure() const {
  const std::size_t pos = static_cast<std::size_t>(error_at_ - begin_);
  // Positions are computed only here, so the success path never counts lines.
  auto spans = made_line_feeds_;
  if (resolved_line_feed_) spans.emplace_back(offset_of(resolved_begin_), offset_of(resolved_end_));
  std::size_t line = 1;
  std::size_t line_start = 0;
  std::size_t from = 0;
  // Counts the text's own line feeds in [from, to).
  const auto count = [&](std::size_t to) {
    const char* const a = begin_ + from;
    const char* const b = begin_ + to;
    line += static_cast<std::size_t>(std::count(a, b, '\n'));
    for (const char* q = b; q != a; --q) {
      if (q[-1] == '\n') {
        line_start = static_cast<std::size_t>(q - begin_);
        break;
      }
    }
  };
  for (const auto& [span_begin, span_end] : spans) {
    if (span_begin >= pos) break;
    count(span_begin);
    from = span_end;
  }
  if (from < pos) count(pos);
  std::string message = message_of(error_);
  message += " at line ";
  message += std::to_string(line);
  message += " column ";
  message += std::to_string(pos - line_start);
  return Failure{std::move(message)};
}

// p_ is just past the opening quotation mark.
bool JsonParser::scan_string(Scanned& s) {
  char* const start = p_;
  unsigned high = 0;
  const char* q = json_detail::find_string_special(start, end_, high);
  if (q == end_) [[unlikely]]
    return fail_eof(ParseError::EofWhileParsingString);
  const auto length = static_cast<std::uint32_t>(q - start);
  if (*q == '"') [[likely]] {
    if (high != 0 && !is_valid_utf8({start, length}))
      return fail(ParseError::InvalidUnicodeCodePoint, q + 1);
    s = Scanned{Tag::String, offset_of(start), length};
    p_ = start + length + 1;
    return true;
  }
  if (*q != '\\') return fail(ParseError::ControlCharacter, q + 1);
  return scan_escaped_string(start, start + length, high, s);
}

// `at` is the first backslash; content before it, from `start`, is plain. The resolved content
// is written over the text from `at` on.
bool JsonParser::scan_escaped_string(char* start, char* at, unsigned high, Scanned& s) {
  resolved_begin_ = start;
  resolved_line_feed_ = false;
  char*& w = resolved_end_;
  w = at;
  const char* r = at;
  while (true) {
    // *r is a backslash.
    ++r;
    if (r == end_) return fail_eof(ParseError::EofWhileParsingString);
    const char c = *r++;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        *w++ = c;
        break;
      case 'b':
        *w++ = '\b';
        break;
      case 'f':
        *w++ = '\f';
        break;
      case 'n':
        *w++ = '\n';
        resolved_line_feed_ = true;
        break;
      case 'r':
        *w++ = '\r';
        break;
      case 't':
        *w++ = '\t';
        break;
      case 'u':
        if (!parse_unicode_escape(r, w)) return false;
        break;
      default:
        return fail(ParseError::InvalidEscape, r);
    }
    const char* run = r;
    r = json_detail::find_string_special(run, end_, high);
    if (r == end_) return fail_eof(ParseError::EofWhileParsingString);
    std::memmove(w, run, static_cast<std::size_t>(r - run));
    w += r - run;
    if (*r == '"') break;
    if (*r != '\\') return fail(ParseError::ControlCharacter, r + 1);
  }
  // Escapes always yield whole characters; only raw non-ASCII bytes can make the content
  // invalid, alone or beside an escape.
  const auto length = static_cast<std::uint32_t>(w - start);
  if (high != 0 && !is_valid_utf8({start, length}))
    return fail(ParseError::InvalidUnicodeCodePoint, r + 1);
  if (resolved_line_feed_) {
    made_line_feeds_.emplace_back(offset_of(start), offset_of(w));
    resolved_line_feed_ = false;
  }
  s = Scanned{Tag::EscapedString, offset_of(start), length};
  p_ = const_cast<char*>(r) + 1;
  return true;
}

bool JsonParser::read_hex4(const char*& p, std::uint32_t& value) {
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

// r is just past the "u"; the character goes to w (at most 4 bytes for at least 6 read).
bool JsonParser::parse_unicode_escape(const char*& r, char*& w) {
  std::uint32_t n;
  if (!read_hex4(r, n)) return false;
  if (n >= 0xDC00 && n <= 0xDFFF) return fail(ParseError::LoneLeadingSurrogate, r);
  if (n < 0xD800 || n > 0xDBFF) {
    if (n == '\n') resolved_line_feed_ = true;
    w += encode_utf8(w, n);
    return true;
  }
  if (r == end_) return fail_eof(ParseError::EofWhileParsingString);
  if (*r != '\\') return fail(ParseError::UnexpectedEndOfHexEscape, r + 1);
  ++r;
  if (r == end_) return fail_eof(ParseError::EofWhileParsingString);
  if (*r != 'u') return fail(ParseError::UnexpectedEndOfHexEscape, r + 1);
  ++r;
  std::uint32_t n2;
  if (!read_hex4(r, n2)) return false;
  if (n2 < 0xDC00 || n2 > 0xDFFF) return fail(ParseError::LoneLeadingSurrogate, r);
  w += encode_utf8(w, (((n - 0xD800) << 10) | (n2 - 0xDC00)) + 0x10000);
  return true;
}

// p_ is at the first byte of the literal, which the caller has matched; moves past the rest.
bool JsonParser::parse_literal(const json_detail::Literal& literal) {
  for (std::size_t i = 1; i < literal.text.size(); ++i) {
    const char* q = p_ + i;
    if (q == end_) return fail_eof(ParseError::EofWhileParsingValue);
    if (*q != literal.text[i]) return fail(ParseError::ExpectedIdent, q + 1);
  }
  p_ += literal.text.size();
  return true;
}

// p_ is at "-" or a digit.
bool JsonParser::parse_number() {
  const json_detail::NumberScan n = json_detail::scan_number(p_, end_);
  if (n.kind == json_detail::NumberScan::Kind::Error) [[unlikely]]
    return fail(error_of(n.error), n.end);
  put_number(n);
  return true;
}

// p_ is at the number that n scanned, which did not fail.
void JsonParser::put_number(const json_detail::NumberScan& n) {
  using Kind = json_detail::NumberScan::Kind;
  assert(n.kind != Kind::Error);
  const auto length = static_cast<std::uint32_t>(n.end - p_);
  switch (n.kind) {
    case Kind::Unsigned:
      put(Tag::Unsigned, p_, length);
      break;
    case Kind::Negative:
      put(Tag::Negative, p_, length);
      break;
    case Kind::FloatZero:
      put(n.negative ? Tag::NegativeFloatZero : Tag::FloatZero, p_, length);
      break;
    case Kind::ShortFloat:
      if (n.plain) {
        put(Tag::PlainFloat, p_, length);
        break;
      }
      put(Tag::ShortFloat, p_, length);
      put_payload(json_detail::pack_short_float(
          {json_detail::scanned_value(p_, n), n.exponent, n.negative}));
      break;
    default:  // Kind::Float: callers stop at a scan that failed
      put(Tag::Float, p_, length);
      put_payload(n.value);
      break;
  }
  p_ = const_cast<char*>(n.end);
}

// p_ is at the opening bracket.
bool JsonParser::open_container(bool is_object) {
  if (depth_ == json_detail::MAX_DEPTH) return fail(ParseError::RecursionLimitExceeded, p_ + 1);
  open_[depth_++] =
      Open{doc_.node_count(), static_cast<std::uint32_t>(keys_.size()), is_object, false};
  put(is_object ? Tag::Object : Tag::Array, p_, 0);
  ++p_;
  return true;
}

void JsonParser::close_array() {
  const Open& open = open_[--depth_];
  doc_.nodes_[open.node].aux = doc_.node_count();
}

// Keeps track of whether the open object's keys still ascend.
void JsonParser::note_key(const Scanned& key) {
  Open& open = open_[depth_ - 1];
  const std::string_view text(begin_ + key.offset, key.length);
  const std::uint64_t prefix = json_detail::key_prefix(text, end_);
  if (!open.ordered && keys_.size() > open.key_base) {
    const Key& last = keys_[keys_.size() - 1];
    if (!json_detail::key_less_by_prefix(last.prefix, key_text(last), prefix, text)) {
      open.ordered = true;
    }
  }
  keys_.push_back(Key{prefix, key.offset, key.length});
}

bool JsonParser::same_keys(const Shape& shape, const Key* keys, std::uint32_t n) const {
  if (shape.count != n) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    const Key& a = shape.keys[i];
    const Key& b = keys[i];
    if (a.prefix != b.prefix || a.length != b.length) return false;
    // Equal prefixes settle keys of at most eight bytes once their lengths agree.
    if (a.length > 8 &&
        std::memcmp(key_text(a).data() + 8, key_text(b).data() + 8, a.length - 8) != 0) {
      return false;
    }
  }
  return true;
}

// p_ is just past a key's opening quotation mark. Reads the key, its colon and, when it follows
// the colon at once, a scalar value; `value_read` tells which. A plain key and a value that goes
// out as its text become one Pair node.
bool JsonParser::parse_member(bool& value_read) {
  value_read = false;
  Scanned key;
  if (!scan_string(key)) return false;
  note_key(key);
  const char* const key_end = p_;
  skip_space();
  if (p_ == end_) return fail_eof(ParseError::EofWhileParsingObject);
  if (*p_ != ':') return fail(ParseError::ExpectedColon, p_ + 1);
  // A Pair's value stands right after its key's colon.
  const bool joinable =
      p_ == key_end && key.tag == Tag::String && key.length <= JsonDocument::PAIR_MAX_LENGTH;
  ++p_;
  if (!joinable || p_ == end_) {
    put(key);
    return true;
  }
  char* const value = p_;
  const auto as_member = [&] {
    const auto length = static_cast<std::uint32_t>(p_ - value);
    if (length > JsonDocument::PAIR_MAX_LENGTH) return false;
    put(Tag::Pair, begin_ + key.offset, key.length | length << JsonDocument::PAIR_KEY_BITS);
    return true;
  };
  if (*value == '"') {
    ++p_;
    Scanned s;
    if (!scan_string(s)) return false;
    value_read = true;
    if (s.tag != Tag::String || !as_member()) {
      put(key);
      put(s);
    }
    return true;
  }
  if (const json_detail::Literal* literal = json_detail::literal_starting_with(*value)) {
    if (!parse_literal(*literal)) return false;
    value_read = true;
    if (!as_member()) {
      put(key);
      put(literal->tag, value, static_cast<std::uint32_t>(literal->text.size()));
    }
    return true;
  }
  if (*value != '-' && !is_digit(*value)) {
    put(key);
    return true;
  }
  using Kind = json_detail::NumberScan::Kind;
  const json_detail::NumberScan n = json_detail::scan_number(value, end_);
  if (n.kind == Kind::Error) [[unlikely]]
    return fail(error_of(n.error), n.end);
  value_read = true;
  if (n.kind == Kind::Unsigned || n.kind == Kind::Negative ||
      (n.kind == Kind::ShortFloat && n.plain)) {
    p_ = const_cast<char*>(n.end);
    if (as_member()) return true;
    p_ = value;
  }
  put(key);
  put_number(n);
  return true;
}

void JsonParser::close_object() {
  const Open& open = open_[--depth_];
  const std::uint32_t end = doc_.node_count();
  Node& node = doc_.nodes_[open.node];
  node.aux = end;
  if (open.ordered) {
    const auto n = static_cast<std::uint32_t>(keys_.size() - open.key_base);
    const Key* keys = keys_.data() + open.key_base;
    if (shapes_.size() <= static_cast<std::size_t>(depth_)) shapes_.resize(depth_ + 1);
    Shapes& shapes = shapes_[depth_];
    if (!same_keys(shapes.shape[shapes.recent], keys, n)) shapes.recent ^= 1u;
    Shape& shape = shapes.shape[shapes.recent];
    if (!same_keys(shape, keys, n)) {
      const auto start = static_cast<std::uint32_t>(doc_.order_.size());
      std::uint32_t* order = doc_.order_.extend(2 + n);
      order[0] = n;
      std::uint32_t kept = 0;
      // Of equal keys the last one in text order wins.
      json_detail::for_each_last_in_key_order(
          n, [&](std::uint32_t i) { return key_text(keys[i]); },
          [&](std::uint32_t i) { return keys[i].prefix; },
          [&](std::uint32_t i) { order[2 + kept++] = i; });
      order[1] = kept;
      doc_.order_.resize_down(start + 2 + kept);
      shape.count = 0;
      shape.order = start;
      if (n <= MAX_SHAPE_KEYS) {
        std::copy(keys, keys + n, shape.keys);
        shape.count = n;
      }
    }
    node = Node(Tag::OrderedObject, shape.order, end);
  }
  keys_.resize_down(open.key_base);
}

// A small state machine instead of recursion: the only stack is open_, bounded by the nesting
// limit. Each step reads what its state expects and names the next state; Failed means fail()
// has recorded the error.
Result<JsonDocument> JsonParser::run() {
  State state = State::Value;
  while (true) {
    switch (state) {
      case State::Value:
        state = read_value();
        break;
      case State::Key: {
        // p_ is just past the key's opening quotation mark.
        bool value_read;
        if (!parse_member(value_read)) return failure();
        state = value_read ? State::AfterValue : State::Value;
        break;
      }
      case State::AfterValue:
        if (depth_ == 0) return finish();
        state = open_[depth_ - 1].is_object ? after_member() : after_element();
        break;
      case State::Failed:
        return failure();
    }
  }
}

// Any value: a scalar is read whole, a container is opened.
JsonParser::State JsonParser::read_value() {
  skip_space();
  if (p_ == end_) return failed_eof(ParseError::EofWhileParsingValue);
  const char c = *p_;
  if (c == '"') {
    ++p_;
    return parse_string() ? State::AfterValue : State::Failed;
  }
  if (c == '-' || is_digit(c)) return parse_number() ? State::AfterValue : State::Failed;
  if (c == '[' || c == '{') return open(c == '{');
  if (const json_detail::Literal* literal = json_detail::literal_starting_with(c)) {
    if (!parse_literal(*literal)) return State::Failed;
    const auto length = static_cast<std::uint32_t>(literal->text.size());
    put(literal->tag, p_ - length, length);
    return State::AfterValue;
  }
  return failed(ParseError::ExpectedValue, p_ + 1);
}

// p_ is at an opening bracket: opens the container and reads up to its first content, or
// closes it at once when it is empty.
JsonParser::State JsonParser::open(bool is_object) {
  if (!open_container(is_object)) return State::Failed;
  skip_space();
  if (p_ == end_) {
    return failed_eof(is_object ? ParseError::EofWhileParsingObject
                                : ParseError::EofWhileParsingList);
  }
  if (!is_object) {
    if (*p_ != ']') return State::Value;  // the first element, whatever byte comes
    ++p_;
    close_array();
    return State::AfterValue;
  }
  if (*p_ == '}') {
    ++p_;
    close_object();
    return State::AfterValue;
  }
  if (*p_ != '"') return failed(ParseError::KeyMustBeAString, p_ + 1);
  ++p_;
  return State::Key;
}

// After an array's element: a comma and the next element, or the end of the array.
JsonParser::State JsonParser::after_element() {
  skip_space();
  if (p_ == end_) return failed_eof(ParseError::EofWhileParsingList);
  const char c = *p_++;
  if (c == ']') {
    close_array();
    return State::AfterValue;
  }
  if (c != ',') return failed(ParseError::ExpectedListCommaOrEnd, p_);
  skip_space();
  if (p_ == end_) return failed_eof(ParseError::EofWhileParsingValue);
  if (*p_ == ']') return failed(ParseError::TrailingComma, p_ + 1);
  return State::Value;
}

// After an object's member: a comma and the next key, or the end of the object.
JsonParser::State JsonParser::after_member() {
  skip_space();
  if (p_ == end_) return failed_eof(ParseError::EofWhileParsingObject);
  const char c = *p_++;
  if (c == '}') {
    close_object();
    return State::AfterValue;
  }
  if (c != ',') return failed(ParseError::ExpectedObjectCommaOrEnd, p_);
  skip_space();
  if (p_ == end_) return failed_eof(ParseError::EofWhileParsingValue);
  const char k = *p_++;
  if (k == '"') return State::Key;
  return failed(k == '}' ? ParseError::TrailingComma : ParseError::KeyMustBeAString, p_);
}

// The root value is complete: only white space may follow it.
Result<JsonDocument> JsonParser::finish() {
  skip_space();
  if (p_ != end_) return error(ParseError::TrailingCharacters, p_ + 1);
  return std::move(doc_);
}

Result<JsonDocument> parse_document(std::span<char> text, std::pmr::memory_resource* memory) {
  if (text.size() > JsonDocument::MAX_TEXT_BYTES) {
    return Failure{"document of " + std::to_string(text.size()) + " bytes is too large"};
  }
  JsonParser parser(text, memory);
  return parser.run();
}

Result<JsonValue> parse_json(std::string_view input) {
  // The parser resolves escapes in place, so it works on a copy.
  std::string text(input);
  Result<JsonDocument> document = parse_document(text);
  if (!document) return std::move(document).take_failure();
  return document.value().to_value();
}

}  // namespace vtm
