#include "json/write.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <type_traits>

#include "json/number.h"
#include "json/string_scan.h"

namespace vtm {

namespace {

using json_detail::FLOAT_TEXT_ROOM;

// Line feeds and indentation come from one prepared run: a line feed, then the two spaces per
// level that the deepest document needs.
constexpr std::size_t MAX_LEVEL = 128;
constexpr auto LINE_AND_INDENT = [] {
  std::array<char, 1 + 2 * MAX_LEVEL> run{};
  run[0] = '\n';
  for (std::size_t i = 1; i < run.size(); ++i) run[i] = ' ';
  return run;
}();

// Plain strings at least this long are referenced where they lie rather than copied: a
// screenshot's base64 text goes out straight from the response frame.
constexpr std::size_t BORROW_MIN_BYTES = 64 * 1024;

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

// Output into a buffer sized beforehand (with slack at its end), so no write checks for room.
struct BufferSink {
  char* o;
  char* piece_begin;
  std::vector<std::string_view>& pieces;
  const char* readable_end;  // of the document's text, for copies that read a whole block

  void put(char c) { *o++ = c; }
  void put(const char* p, std::size_t n) {
    std::memcpy(o, p, n);
    o += n;
  }
  // Text from the document: short runs (keys, small strings, numbers, whole members) move as
  // one 16- or 32-byte block where the text has that many bytes to read; the output's slack
  // takes the overhang.
  void put_text(const char* p, std::size_t n) {
    if (n <= 16 && readable_end - p >= 16) {
      std::memcpy(o, p, 16);
    } else if (n <= 32 && readable_end - p >= 32) {
      std::memcpy(o, p, 32);
    } else {
      std::memcpy(o, p, n);
    }
    o += n;
  }
  char* room(std::size_t) { return o; }
  void commit(char* end) { o = end; }
  void plain_string(std::string_view text) {
    if (text.size() < BORROW_MIN_BYTES) {
      put('"');
      put_text(text.data(), text.size());
      put('"');
      return;
    }
    put('"');
    finish_piece();
    pieces.push_back(text);
    put('"');
  }
  void finish_piece() {
    if (o != piece_begin)
      pieces.emplace_back(piece_begin, static_cast<std::size_t>(o - piece_begin));
    piece_begin = o;
  }
};

template <class Sink>
void put_line(Sink& out, int level) {
  const std::size_t n = 1 + 2 * static_cast<std::size_t>(level);
  if constexpr (std::is_same_v<Sink, BufferSink>) {
    // The prepared run is longer than any block copied from it, and the output keeps as much
    // slack as the longest block.
    if (n <= 32) {
      std::memcpy(out.o, LINE_AND_INDENT.data(), 32);
      out.o += n;
      return;
    }
    if (n <= FLOAT_TEXT_ROOM) {
      std::memcpy(out.o, LINE_AND_INDENT.data(), FLOAT_TEXT_ROOM);
      out.o += n;
      return;
    }
  }
  out.put(LINE_AND_INDENT.data(), n);
}

template <class Sink>
void put_escape(Sink& out, unsigned char c) {
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
template <class Sink>
void put_escaped_string(Sink& out, std::string_view s) {
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

template <class Sink, class Int>
void put_integer(Sink& out, Int v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.put(buf, static_cast<std::size_t>(r.ptr - buf));
}

template <class Sink>
void put_float(Sink& out, double v) {
  char* at = out.room(FLOAT_TEXT_ROOM);
  out.commit(json_detail::write_float_text(at, v));
}

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
  using Member = const JsonMember*;
  template <class F>
  static void for_each_member(Ref v, F&& f) {
    for (const JsonMember& m : v->as_object().members()) f(&m);
  }
  template <bool Indent, class Sink>
  static bool put_whole_member(Sink&, Member) {
    return false;
  }
  template <class Sink>
  static void put_key(Sink& out, Member m) {
    put_escaped_string(out, m->first);
  }
  static Ref value_of(Member m) { return &m->second; }
  template <class Sink>
  static void put_scalar(Sink& out, Ref v) {
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
  using Member = std::uint32_t;
  template <class F>
  void for_each_member(Ref i, F&& f) const {
    doc.for_each_member(i, f);
  }
  // A Member node goes out as its text: in one run when compact.
  template <bool Indent, class Sink>
  bool put_whole_member(Sink& out, Member m) const {
    if (doc.node(m).tag() != Tag::Member) return false;
    if constexpr (Indent) {
      const std::string_view key = doc.key_at(m);
      const std::string_view value = doc.member_value_text(m);
      out.put_text(key.data() - 1, key.size() + 2);
      out.put(": ", 2);
      out.put_text(value.data(), value.size());
    } else {
      const std::string_view text = doc.member_text(m);
      out.put_text(text.data(), text.size());
    }
    return true;
  }
  template <class Sink>
  void put_key(Sink& out, Member m) const {
    put_string(out, m);
  }
  static Ref value_of(Member m) { return m + 1; }
  template <class Sink>
  void put_string(Sink& out, Ref i) const {
    if (doc.node(i).tag() == Tag::String) return out.plain_string(doc.text_at(i));
    put_escaped_string(out, doc.text_at(i));
  }
  template <class Sink>
  void put_scalar(Sink& out, Ref i) const {
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
      case Tag::Zero:
        return out.put("0.0", 3);
      case Tag::NegativeZero:
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
      case Tag::Member:
        return;
    }
  }
};

// Both forms over either source: the separators and indentation are written once.
template <bool Indent, class Source, class Sink>
void put_value(const Source& source, Sink& out, typename Source::Ref v, int level) {
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
    source.for_each_element(v, [&](typename Source::Ref e) {
      separate();
      put_value<Indent>(source, out, e, level + 1);
    });
  } else {
    source.for_each_member(v, [&](typename Source::Member m) {
      separate();
      if (source.template put_whole_member<Indent>(out, m)) return;
      source.put_key(out, m);
      if constexpr (Indent) {
        out.put(": ", 2);
      } else {
        out.put(':');
      }
      put_value<Indent>(source, out, Source::value_of(m), level + 1);
    });
  }
  if constexpr (Indent) put_line(out, level);
  out.put(array ? ']' : '}');
}

}  // namespace

void append_float_text(std::string& out, double value) {
  StringSink sink{out};
  put_float(sink, value);
}

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

std::size_t DocumentText::size() const {
  std::size_t n = 0;
  for (std::string_view p : pieces) n += p.size();
  return n;
}

std::string DocumentText::joined() const {
  std::string out;
  out.reserve(size());
  for (std::string_view p : pieces) out.append(p.data(), p.size());
  return out;
}

DocumentText render_document(const JsonDocument& document, bool compact, bool final_line_feed,
                             std::pmr::memory_resource* memory) {
  // The final line feed, and room for the writers that copy in fixed-size blocks.
  const std::size_t bound = (compact ? document.compact_bound() : document.indented_bound()) + 1 +
                            json_detail::FLOAT_TEXT_ROOM;
  DocumentText text{json_detail::PodBuffer<char>(memory, bound), {}};
  BufferSink sink{text.buffer.data(), text.buffer.data(), text.pieces, document.text_end()};
  const DocumentSource source{document};
  if (compact) {
    put_value<false>(source, sink, 0, 0);
  } else {
    put_value<true>(source, sink, 0, 0);
  }
  if (final_line_feed) sink.put('\n');
  sink.finish_piece();
  return text;
}

}  // namespace vtm
