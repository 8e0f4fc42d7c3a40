#include "json/write.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "json/string_scan.h"

namespace vtm {

namespace {

void append_literal(std::string& out, std::string_view text) {
  out.append(text.data(), text.size());
}

void append_escape(std::string& out, unsigned char c) {
  switch (c) {
    case '"':
      append_literal(out, "\\\"");
      return;
    case '\\':
      append_literal(out, "\\\\");
      return;
    case 0x08:
      append_literal(out, "\\b");
      return;
    case 0x09:
      append_literal(out, "\\t");
      return;
    case 0x0A:
      append_literal(out, "\\n");
      return;
    case 0x0C:
      append_literal(out, "\\f");
      return;
    case 0x0D:
      append_literal(out, "\\r");
      return;
    default: {
      static constexpr char kHex[] = "0123456789abcdef";
      const char escape[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out.append(escape, 6);
      return;
    }
  }
}

void append_string(std::string& out, std::string_view s) {
  // Room for the common case (nothing to escape) in one step, with headroom so that a large
  // string is not followed by a regrowth that copies it again.
  const std::size_t need = out.size() + s.size() + 2;
  if (need > out.capacity()) out.reserve(need + need / 2);
  out.push_back('"');
  const char* p = s.data();
  const char* const end = p + s.size();
  while (true) {
    unsigned high = 0;
    const char* q = json_detail::find_string_special(p, end, high);
    out.append(p, q);
    if (q == end) break;
    append_escape(out, static_cast<unsigned char>(*q));
    p = q + 1;
  }
  out.push_back('"');
}

template <class Int>
void append_integer(std::string& out, Int v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void append_scalar(std::string& out, const JsonValue& value) {
  switch (value.kind()) {
    case JsonValue::Kind::Null:
      append_literal(out, "null");
      return;
    case JsonValue::Kind::Bool:
      append_literal(out, value.as_bool() ? "true" : "false");
      return;
    case JsonValue::Kind::Unsigned:
      append_integer(out, value.as_u64());
      return;
    case JsonValue::Kind::Negative:
      append_integer(out, value.as_i64());
      return;
    case JsonValue::Kind::Float:
      append_float_text(out, value.as_double());
      return;
    case JsonValue::Kind::String:
      append_string(out, value.as_string());
      return;
    case JsonValue::Kind::Array:
    case JsonValue::Kind::Object:
      return;
  }
}

void write_compact(std::string& out, const JsonValue& value) {
  switch (value.kind()) {
    case JsonValue::Kind::Array: {
      out.push_back('[');
      bool first = true;
      for (const JsonValue& element : value.as_array()) {
        if (!first) out.push_back(',');
        first = false;
        write_compact(out, element);
      }
      out.push_back(']');
      return;
    }
    case JsonValue::Kind::Object: {
      out.push_back('{');
      bool first = true;
      for (const JsonMember& member : value.as_object().members()) {
        if (!first) out.push_back(',');
        first = false;
        append_string(out, member.first);
        out.push_back(':');
        write_compact(out, member.second);
      }
      out.push_back('}');
      return;
    }
    default:
      append_scalar(out, value);
      return;
  }
}

void append_line_and_indent(std::string& out, std::size_t level) {
  out.push_back('\n');
  out.append(2 * level, ' ');
}

void write_indented(std::string& out, const JsonValue& value, std::size_t level) {
  switch (value.kind()) {
    case JsonValue::Kind::Array: {
      const JsonArray& array = value.as_array();
      if (array.empty()) {
        append_literal(out, "[]");
        return;
      }
      out.push_back('[');
      bool first = true;
      for (const JsonValue& element : array) {
        if (!first) out.push_back(',');
        first = false;
        append_line_and_indent(out, level + 1);
        write_indented(out, element, level + 1);
      }
      append_line_and_indent(out, level);
      out.push_back(']');
      return;
    }
    case JsonValue::Kind::Object: {
      const JsonObject& object = value.as_object();
      if (object.empty()) {
        append_literal(out, "{}");
        return;
      }
      out.push_back('{');
      bool first = true;
      for (const JsonMember& member : object.members()) {
        if (!first) out.push_back(',');
        first = false;
        append_line_and_indent(out, level + 1);
        append_string(out, member.first);
        append_literal(out, ": ");
        write_indented(out, member.second, level + 1);
      }
      append_line_and_indent(out, level);
      out.push_back('}');
      return;
    }
    default:
      append_scalar(out, value);
      return;
  }
}

}  // namespace

void append_float_text(std::string& out, double value) {
  if (!std::isfinite(value)) {
    append_literal(out, "null");
    return;
  }
  if (value == 0.0) {
    append_literal(out, std::signbit(value) ? "-0.0" : "0.0");
    return;
  }
  // Shortest round-trip digits (nearest on ties) in the form [-]d[.ddd]e(+|-)xx, then laid out
  // anew: fixed for decimal exponents -5..15, exponent notation otherwise.
  char sci[40];
  const auto r = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
  const char* p = sci;
  char buf[48];
  char* o = buf;
  if (*p == '-') {
    *o++ = '-';
    ++p;
  }
  char digits[20];
  int k = 0;
  digits[k++] = *p++;
  if (*p == '.') {
    ++p;
    while (*p != 'e') digits[k++] = *p++;
  }
  ++p;  // 'e'
  const bool negative_exponent = *p == '-';
  ++p;
  int e = 0;
  while (p < r.ptr) e = e * 10 + (*p++ - '0');
  if (negative_exponent) e = -e;

  if (e >= -5 && e <= 15) {
    if (e < 0) {
      *o++ = '0';
      *o++ = '.';
      for (int i = 0; i < -e - 1; ++i) *o++ = '0';
      std::memcpy(o, digits, static_cast<std::size_t>(k));
      o += k;
    } else if (e < k - 1) {
      std::memcpy(o, digits, static_cast<std::size_t>(e + 1));
      o += e + 1;
      *o++ = '.';
      std::memcpy(o, digits + e + 1, static_cast<std::size_t>(k - e - 1));
      o += k - e - 1;
    } else {
      std::memcpy(o, digits, static_cast<std::size_t>(k));
      o += k;
      for (int i = 0; i < e - k + 1; ++i) *o++ = '0';
      *o++ = '.';
      *o++ = '0';
    }
  } else {
    *o++ = digits[0];
    if (k > 1) {
      *o++ = '.';
      std::memcpy(o, digits + 1, static_cast<std::size_t>(k - 1));
      o += k - 1;
    }
    *o++ = 'e';
    *o++ = e < 0 ? '-' : '+';
    o = std::to_chars(o, buf + sizeof buf, e < 0 ? -e : e).ptr;
  }
  out.append(buf, o);
}

void append_compact_text(std::string& out, const JsonValue& value) { write_compact(out, value); }

void append_indented_text(std::string& out, const JsonValue& value) {
  write_indented(out, value, 0);
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

}  // namespace vtm
