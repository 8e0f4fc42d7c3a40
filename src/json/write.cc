// The writers: one walk over a value that writes its compact or indented form, over either
// source (the owning tree or a parsed document) into either sink (a growing string or a fixed
// buffer flushed as it fills). In reading order:
//   line feeds   the prepared run of a line feed and indentation
//   sinks        StringSink, StreamSink (makes room for every write), the Sink concept
//   scalars      escapes, strings, integers, floats
//   sources      TreeSource, DocumentSource, the Source concept
//   the walk     put_value: separators and indentation, written once for all four pairings
//   entry points
#include "json/write.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

#include "json/limits.h"
#include "json/number.h"
#include "json/string_scan.h"

namespace vtm {

namespace {

using json_detail::FLOAT_TEXT_MAX;
using json_detail::FLOAT_TEXT_ROOM;
using json_detail::line_bytes;
using json_detail::OUTPUT_SLACK;

// Line feeds and indentation come from one prepared run: a line feed, then the spaces of the
// deepest line a parsed document has (one level past its innermost container) and one more
// level, so that a block copied from it for any such line stays inside it.
constexpr std::size_t RUN_LEVELS = json_detail::MAX_DEPTH + 1;
constexpr auto LINE_AND_INDENT = [] {
  std::array<char, line_bytes(RUN_LEVELS)> run{};
  run[0] = '\n';
  for (std::size_t i = 1; i < run.size(); ++i) run[i] = ' ';
  return run;
}();
static_assert(LINE_AND_INDENT.size() >= OUTPUT_SLACK, "put_line copies blocks of the slack");

// Text at least this long goes out straight from where it lies rather than through the buffer:
// a screenshot's base64 text is written from the response frame.
constexpr std::size_t BORROW_MIN_BYTES = 64 * 1024;

// A sink takes the written form in order. put: bytes of the writers' own (separators, escapes,
// literals). put_text: bytes of the document's text, which may be read in whole blocks up to
// the text's readable end. room(FLOAT_TEXT_ROOM) and commit(end): a float is written in place
// and the sink moves to its end. plain_string: a string that needs no escaping, quoted.

// Output into a std::string that grows as needed.
struct StringSink {
  std::string& s;
  void put(char c) { s.push_back(c); }
  void put(const char* p, std::size_t n) { s.append(p, n); }
  void put_text(const char* p, std::size_t n) { s.append(p, n); }
  char* room(std::size_t n) {
    const std::size_t at = s.size();
    s.resize(at + n);
    return s.data() + at;
  }
  void commit(char* end) { s.resize(static_cast<std::size_t>(end - s.data())); }
  void plain_string(std::string_view text) {
    s.reserve(s.size() + text.size() + 2);
    put('"');
    put(text.data(), text.size());
    put('"');
  }
};

// Output through a fixed buffer that goes to a TextOutput each time it fills, so the written
// form never exists whole. Every write tests once whether its bytes fit within the capacity
// (limit); blocks copied from a position within it overhang into the OUTPUT_SLACK bytes past it.
// A write that does not fit takes the slow road: the buffer goes out, and a text at least
// borrow_min bytes long is not copied but goes out straight from where it lies, in the same write.
struct StreamSink {
  char* const begin;
  char* o;
  char* const limit;
  const std::size_t borrow_min;
  const char* readable_end;  // of the document's text, for copies that read a whole block
  TextOutput& output;

  // Out of line and cold, so that the writes stay a compare and a copy, inlined in the walk.
  [[gnu::noinline, gnu::cold]] void flush(std::string_view also = {}) {
    const std::string_view pieces[2] = {{begin, static_cast<std::size_t>(o - begin)}, also};
    const std::size_t first = pieces[0].empty() ? 1 : 0;
    const std::size_t count = also.empty() ? 1 - first : 2 - first;
    if (count != 0) output.write(std::span(pieces + first, count));
    o = begin;
  }
  [[gnu::noinline, gnu::cold]] void put_slow(const char* p, std::size_t n) {
    if (n >= borrow_min) return flush({p, n});
    flush();
    std::memcpy(o, p, n);
    o += n;
  }
  bool fits(std::size_t n) const { return n <= static_cast<std::size_t>(limit - o); }
  // n is at most the capacity.
  void make_room(std::size_t n) {
    if (!fits(n)) [[unlikely]]
      flush();
  }
  void put(char c) {
    make_room(1);
    *o++ = c;
  }
  void put(const char* p, std::size_t n) {
    if (!fits(n)) [[unlikely]]
      return put_slow(p, n);
    std::memcpy(o, p, n);
    o += n;
  }
  // Text from the document: short runs (keys, small strings, numbers, whole members) move as
  // one 16- or 32-byte block where the text has that many bytes to read; the slack takes the
  // overhang.
  void put_text(const char* p, std::size_t n) {
    if (!fits(n)) [[unlikely]]
      return put_slow(p, n);
    if (n <= 16 && readable_end - p >= 16) {
      std::memcpy(o, p, 16);
    } else if (n <= 32 && readable_end - p >= 32) {
      std::memcpy(o, p, 32);
    } else {
      std::memcpy(o, p, n);
    }
    o += n;
  }
  // A float's text is at most FLOAT_TEXT_MAX bytes, its blocks within the slack.
  char* room(std::size_t) {
    make_room(FLOAT_TEXT_MAX);
    return o;
  }
  void commit(char* end) {
    // A text longer than promised may have overrun the slack already: stop, in every build.
    if (end < o || static_cast<std::size_t>(end - o) > FLOAT_TEXT_MAX) [[unlikely]] {
      std::fputs("render_document: a float's text is longer than its room\n", stderr);
      std::abort();
    }
    o = end;
  }
  // A line of indentation of at most OUTPUT_SLACK bytes: one block from the prepared run.
  void put_line(std::size_t n) {
    make_room(n);
    // Constant sizes, so that each copy is a few moves rather than a call.
    if (n <= 32) {
      std::memcpy(o, LINE_AND_INDENT.data(), 32);
    } else {
      std::memcpy(o, LINE_AND_INDENT.data(), OUTPUT_SLACK);
    }
    o += n;
  }
  void plain_string(std::string_view text) {
    put('"');
    put_text(text.data(), text.size());
    put('"');
  }
};

template <class S>
concept Sink = requires(S& s, const char* p, std::size_t n, char* end, std::string_view text) {
  s.put('x');
  s.put(p, n);
  s.put_text(p, n);
  { s.room(n) } -> std::same_as<char*>;
  s.commit(end);
  s.plain_string(text);
};
static_assert(Sink<StringSink> && Sink<StreamSink>);

// A line feed and the indentation of `level`, at any depth (a tree built in code may be deeper
// than a parsed document can be).
template <Sink S>
void put_line(S& out, int level) {
  const std::size_t n = line_bytes(static_cast<std::size_t>(level));
  if constexpr (std::is_same_v<S, StreamSink>) {
    if (n <= OUTPUT_SLACK) return out.put_line(n);
  }
  if (n <= LINE_AND_INDENT.size()) return out.put(LINE_AND_INDENT.data(), n);
  out.put('\n');
  for (std::size_t spaces = n - 1; spaces != 0;) {
    const std::size_t chunk = std::min(spaces, LINE_AND_INDENT.size() - 1);
    out.put(LINE_AND_INDENT.data() + 1, chunk);
    spaces -= chunk;
  }
}

template <Sink S>
void put_escape(S& out, unsigned char c) {
  switch (c) {
    case '"':
      return out.put("\\\"", 2);
    case '\\':
      return out.put("\\\\", 2);
    case 0x08:
      return out.put("\\b", 2);
    case 0x09:
      return out.put("\\t", 2);
    case 0x0A:
      return out.put("\\n", 2);
    case 0x0C:
      return out.put("\\f", 2);
    case 0x0D:
      return out.put("\\r", 2);
    default: {
      static constexpr char HEX[] = "0123456789abcdef";
      const char escape[6] = {'\\', 'u', '0', '0', HEX[c >> 4], HEX[c & 0xF]};
      return out.put(escape, 6);
    }
  }
}

// Any string: runs that need no escaping go out in bulk.
template <Sink S>
void put_escaped_string(S& out, std::string_view s) {
  out.put('"');
  const char* p = s.data();
  const char* const end = p + s.size();
  while (true) {
    unsigned high = 0;
    const char* q = json_detail::find_string_special(p, end, high);
    out.put_text(p, static_cast<std::size_t>(q - p));
    if (q == end) break;
    put_escape(out, static_cast<unsigned char>(*q));
    p = q + 1;
  }
  out.put('"');
}

template <Sink S, class Int>
void put_integer(S& out, Int v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.put(buf, static_cast<std::size_t>(r.ptr - buf));
}

template <Sink S>
void put_float(S& out, double v) {
  char* at = out.room(FLOAT_TEXT_ROOM);
  out.commit(json_detail::write_float_text(at, v));
}

// A source walks a value for the writer. Ref names a value, MemberRef an object's member.
// is_array / is_object / is_empty classify a value; for_each_element and for_each_member call
// back in written order (members by key, the last of equal keys only); put_whole_member writes
// a member in one go when the source holds it as text (else false, and the walk writes
// put_key, the colon and value_of); put_scalar writes any value that is no container.

// The owning tree.
struct TreeSource {
  using Ref = const JsonValue*;
  static bool is_array(Ref v) { return v->kind() == JsonValue::Kind::Array; }
  static bool is_object(Ref v) { return v->kind() == JsonValue::Kind::Object; }
  static bool is_empty(Ref v) {
    return is_array(v) ? v->as_array().empty() : v->as_object().empty();
  }
  template <class F>
  static void for_each_element(Ref v, F&& f) {
    for (const JsonValue& e : v->as_array()) f(&e);
  }
  using MemberRef = const JsonMember*;
  template <class F>
  static void for_each_member(Ref v, F&& f) {
    for (const JsonMember& m : v->as_object().members()) f(&m);
  }
  template <bool Indent, Sink S>
  static bool put_whole_member(S&, MemberRef) {
    return false;
  }
  template <Sink S>
  static void put_key(S& out, MemberRef m) {
    put_escaped_string(out, m->first);
  }
  static Ref value_of(MemberRef m) { return &m->second; }
  template <Sink S>
  static void put_scalar(S& out, Ref v) {
    switch (v->kind()) {
      case JsonValue::Kind::Null:
        return out.put("null", 4);
      case JsonValue::Kind::Bool:
        return v->as_bool() ? out.put("true", 4) : out.put("false", 5);
      case JsonValue::Kind::Unsigned:
        return put_integer(out, v->as_u64());
      case JsonValue::Kind::Negative:
        return put_integer(out, v->as_i64());
      case JsonValue::Kind::Float:
        return put_float(out, v->as_double());
      case JsonValue::Kind::String:
        return put_escaped_string(out, v->as_string());
      case JsonValue::Kind::Array:
      case JsonValue::Kind::Object:
        return;
    }
  }
};

// The borrowed document: integers and plain strings go out as their text.
struct DocumentSource {
  using Ref = std::uint32_t;
  using Tag = JsonDocument::Tag;
  const JsonDocument& doc;

  bool is_array(Ref i) const { return doc.node(i).tag() == Tag::Array; }
  bool is_object(Ref i) const {
    const Tag t = doc.node(i).tag();
    return t == Tag::Object || t == Tag::OrderedObject;
  }
  bool is_empty(Ref i) const { return doc.is_empty_container(i); }
  template <class F>
  void for_each_element(Ref i, F&& f) const {
    doc.for_each_element(i, f);
  }
  using MemberRef = std::uint32_t;
  template <class F>
  void for_each_member(Ref i, F&& f) const {
    doc.for_each_member(i, f);
  }
  // A Pair node goes out as its text: in one run when compact.
  template <bool Indent, Sink S>
  bool put_whole_member(S& out, MemberRef m) const {
    if (doc.node(m).tag() != Tag::Pair) return false;
    if constexpr (Indent) {
      const std::string_view key = doc.key_at(m);
      const std::string_view value = doc.pair_value_text(m);
      out.put_text(key.data() - 1, key.size() + 2);
      out.put(json_detail::INDENTED_COLON.data(), json_detail::INDENTED_COLON.size());
      out.put_text(value.data(), value.size());
    } else {
      const std::string_view text = doc.pair_text(m);
      out.put_text(text.data(), text.size());
    }
    return true;
  }
  template <Sink S>
  void put_key(S& out, MemberRef m) const {
    put_string(out, m);
  }
  static Ref value_of(MemberRef m) { return m + 1; }
  template <Sink S>
  void put_string(S& out, Ref i) const {
    if (doc.node(i).tag() == Tag::String) return out.plain_string(doc.text_at(i));
    put_escaped_string(out, doc.text_at(i));
  }
  template <Sink S>
  void put_scalar(S& out, Ref i) const {
    switch (doc.node(i).tag()) {
      case Tag::Null:
        return out.put("null", 4);
      case Tag::True:
        return out.put("true", 4);
      case Tag::False:
        return out.put("false", 5);
      case Tag::Unsigned:
      case Tag::Negative:
      case Tag::PlainFloat: {
        const std::string_view digits = doc.text_at(i);
        return out.put_text(digits.data(), digits.size());
      }
      case Tag::FloatZero:
        return out.put("0.0", 3);
      case Tag::NegativeFloatZero:
        return out.put("-0.0", 4);
      case Tag::ShortFloat: {
        const json_detail::ShortFloatParts parts =
            json_detail::unpack_short_float(doc.payload_at(i + 1));
        char* at = out.room(FLOAT_TEXT_ROOM);
        return out.commit(json_detail::write_short_float_text(at, parts.significand, parts.exponent,
                                                              parts.negative));
      }
      case Tag::Float:
        return put_float(out, std::bit_cast<double>(doc.payload_at(i + 1)));
      case Tag::String:
      case Tag::EscapedString:
        return put_string(out, i);
      case Tag::Array:
      case Tag::Object:
      case Tag::OrderedObject:
      case Tag::Pair:
        return;
    }
  }
};

template <class S>
concept Source = requires(const S& s, typename S::Ref v, typename S::MemberRef m, StringSink& out) {
  { s.is_array(v) } -> std::same_as<bool>;
  { s.is_object(v) } -> std::same_as<bool>;
  { s.is_empty(v) } -> std::same_as<bool>;
  s.for_each_element(v, [](typename S::Ref) {});
  s.for_each_member(v, [](typename S::MemberRef) {});
  { s.template put_whole_member<true>(out, m) } -> std::same_as<bool>;
  s.put_key(out, m);
  { S::value_of(m) } -> std::same_as<typename S::Ref>;
  s.put_scalar(out, v);
};
static_assert(Source<TreeSource> && Source<DocumentSource>);

// Both forms over either source: the separators and indentation are written once.
template <bool Indent, Source Src, Sink S>
void put_value(const Src& source, S& out, typename Src::Ref v, int level) {
  const bool array = source.is_array(v);
  if (!array && !source.is_object(v)) return source.put_scalar(out, v);
  if (source.is_empty(v)) return array ? out.put("[]", 2) : out.put("{}", 2);
  out.put(array ? '[' : '{');
  bool first = true;
  const auto separate = [&] {
    if (!first) out.put(',');
    first = false;
    if constexpr (Indent) put_line(out, level + 1);
  };
  if (array) {
    source.for_each_element(v, [&](typename Src::Ref e) {
      separate();
      put_value<Indent>(source, out, e, level + 1);
    });
  } else {
    source.for_each_member(v, [&](typename Src::MemberRef m) {
      separate();
      if (source.template put_whole_member<Indent>(out, m)) return;
      source.put_key(out, m);
      constexpr std::string_view colon =
          Indent ? json_detail::INDENTED_COLON : json_detail::COMPACT_COLON;
      out.put(colon.data(), colon.size());
      put_value<Indent>(source, out, Src::value_of(m), level + 1);
    });
  }
  if constexpr (Indent) put_line(out, level);
  out.put(array ? ']' : '}');
}

}  // namespace

void append_compact_text(std::string& out, const JsonValue& value) {
  StringSink sink{out};
  put_value<false>(TreeSource{}, sink, &value, 0);
}

void append_indented_text(std::string& out, const JsonValue& value) {
  StringSink sink{out};
  put_value<true>(TreeSource{}, sink, &value, 0);
}

std::string to_compact_text(const JsonValue& value) {
  std::string out;
  append_compact_text(out, value);
  return out;
}

std::string to_indented_text(const JsonValue& value) {
  std::string out;
  append_indented_text(out, value);
  return out;
}

void render_document(const JsonDocument& document, bool compact, bool final_line_feed,
                     TextOutput& output, std::size_t buffer_bytes) {
  const std::size_t capacity = std::max(buffer_bytes, OUTPUT_SLACK);
  const std::unique_ptr<char[]> buffer =
      std::make_unique_for_overwrite<char[]>(capacity + OUTPUT_SLACK);
  StreamSink sink{buffer.get(),
                  buffer.get(),
                  buffer.get() + capacity,
                  std::min(BORROW_MIN_BYTES, capacity),
                  document.text_end(),
                  output};
  const DocumentSource source{document};
  if (compact) {
    put_value<false>(source, sink, 0, 0);
  } else {
    put_value<true>(source, sink, 0, 0);
  }
  if (final_line_feed) sink.put('\n');
  sink.flush();
}

std::string render_document_text(const JsonDocument& document, bool compact, bool final_line_feed,
                                 std::size_t buffer_bytes) {
  struct Collect final : TextOutput {
    std::string text;
    void write(std::span<const std::string_view> pieces) override {
      for (std::string_view piece : pieces) text.append(piece);
    }
  } collect;
  render_document(document, compact, final_line_feed, collect, buffer_bytes);
  return std::move(collect.text);
}

}  // namespace vtm
