#include "json/document.h"

#include <charconv>

#include "json/number.h"

namespace vtm {

namespace {

// A short float's value: one correctly rounded conversion of its digits.
JsonValue short_float_value(const json_detail::ShortFloatParts& parts) {
  double f = 0.0;
  json_detail::f64_from_parts(parts.significand, parts.exponent, f);
  return JsonValue::from_double(parts.negative ? -f : f);
}

// A value that is written back as its text: a literal, an integer, or a float already in its
// written form.
JsonValue text_value(JsonDocument::Tag tag, std::string_view text) {
  switch (tag) {
    case JsonDocument::Tag::Null:
      return nullptr;
    case JsonDocument::Tag::True:
      return true;
    case JsonDocument::Tag::False:
      return false;
    case JsonDocument::Tag::Unsigned: {
      std::uint64_t v = 0;
      std::from_chars(text.data(), text.data() + text.size(), v);
      return JsonValue::from_u64(v);
    }
    case JsonDocument::Tag::Negative: {
      std::int64_t v = 0;
      std::from_chars(text.data(), text.data() + text.size(), v);
      return JsonValue::from_i64(v);
    }
    default: {
      // Its parts are read again from its text, which the parser found to be a short float.
      const json_detail::NumberScan n =
          json_detail::scan_number(text.data(), text.data() + text.size());
      return short_float_value(
          {json_detail::scanned_value(text.data(), n), n.exponent, n.negative});
    }
  }
}

}  // namespace

std::optional<std::uint32_t> JsonDocument::find_root_member(std::string_view key) const {
  const Tag tag = nodes_[0].tag();
  if (tag != Tag::Object && tag != Tag::OrderedObject) return std::nullopt;
  std::optional<std::uint32_t> found;
  // Keys are unique in either kind of object: the first match is the only one.
  for_each_member(0, [&](std::uint32_t m) {
    if (!found && key_at(m) == key) found = m;
  });
  return found;
}

JsonDocument::Tag JsonDocument::member_value_tag(std::uint32_t m) const {
  if (nodes_[m].tag() != Tag::Pair) return nodes_[m + 1].tag();
  // Only values written back as their text are kept in a Pair node: a plain string, a
  // literal, an integer or a plain float.
  const std::string_view text = pair_value_text(m);
  if (text[0] == '"') return Tag::String;
  if (const json_detail::Literal* literal = json_detail::literal_starting_with(text[0])) {
    return literal->tag;
  }
  using Kind = json_detail::NumberScan::Kind;
  const Kind kind = json_detail::scan_number(text.data(), text.data() + text.size()).kind;
  return kind == Kind::Unsigned   ? Tag::Unsigned
         : kind == Kind::Negative ? Tag::Negative
                                  : Tag::PlainFloat;
}

JsonValue JsonDocument::member_value(std::uint32_t m) const {
  if (nodes_[m].tag() != Tag::Pair) return value_at(m + 1);
  const std::string_view text = pair_value_text(m);
  const Tag tag = member_value_tag(m);
  if (tag == Tag::String) return JsonValue(text.substr(1, text.size() - 2));
  return text_value(tag, text);
}

JsonValue JsonDocument::value_at(std::uint32_t i) const {
  const Node& n = nodes_[i];
  switch (n.tag()) {
    case Tag::Null:
    case Tag::True:
    case Tag::False:
    case Tag::Unsigned:
    case Tag::Negative:
    case Tag::PlainFloat:
      return text_value(n.tag(), text_at(i));
    case Tag::FloatZero:
      return JsonValue::from_double(0.0);
    case Tag::NegativeFloatZero:
      return JsonValue::from_double(-0.0);
    case Tag::ShortFloat:
      return short_float_value(json_detail::unpack_short_float(payload_at(i + 1)));
    case Tag::Float:
      return JsonValue::from_double(std::bit_cast<double>(payload_at(i + 1)));
    case Tag::String:
    case Tag::EscapedString:
      return JsonValue(text_at(i));
    case Tag::Array: {
      JsonArray array;
      for_each_element(i, [&](std::uint32_t e) { array.push_back(value_at(e)); });
      return array;
    }
    case Tag::Object:
    case Tag::OrderedObject:
    case Tag::Pair:
      break;
  }
  std::vector<JsonMember> members;
  for_each_member(i, [&](std::uint32_t m) { members.emplace_back(key_at(m), member_value(m)); });
  return JsonObject::from_sorted_unique(std::move(members));
}

JsonValue JsonDocument::to_value() const { return value_at(0); }

}  // namespace vtm
