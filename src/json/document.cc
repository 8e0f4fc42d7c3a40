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

}  // namespace

std::optional<std::uint32_t> JsonDocument::find_root_member(std::string_view key) const {
  const Tag tag = nodes_[0].tag();
  if (tag != Tag::Object && tag != Tag::OrderedObject) return std::nullopt;
  std::optional<std::uint32_t> found;
  // Keys are unique in either kind of object: the first match is the only one.
  for_each_member(0, [&](std::uint32_t k) {
    if (!found && text_at(k) == key) found = k + 1;
  });
  return found;
}

JsonValue JsonDocument::value_at(std::uint32_t i) const {
  const Node& n = nodes_[i];
  switch (n.tag()) {
    case Tag::Null:
      return nullptr;
    case Tag::True:
      return true;
    case Tag::False:
      return false;
    case Tag::Unsigned:
    case Tag::Negative: {
      const std::string_view digits = text_at(i);
      if (n.tag() == Tag::Unsigned) {
        std::uint64_t v = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), v);
        return JsonValue::from_u64(v);
      }
      std::int64_t v = 0;
      std::from_chars(digits.data(), digits.data() + digits.size(), v);
      return JsonValue::from_i64(v);
    }
    case Tag::Zero:
      return JsonValue::from_double(0.0);
    case Tag::NegativeZero:
      return JsonValue::from_double(-0.0);
    case Tag::PlainFloat: {
      // Its parts are read again from its text, which the parser found to be a short float.
      const std::string_view text = text_at(i);
      const json_detail::NumberScan n =
          json_detail::scan_number(text.data(), text.data() + text.size());
      return short_float_value({n.value, n.exponent, n.negative});
    }
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
      break;
  }
  std::vector<JsonMember> members;
  for_each_member(i, [&](std::uint32_t k) { members.emplace_back(text_at(k), value_at(k + 1)); });
  return JsonObject::from_sorted_unique(std::move(members));
}

JsonValue JsonDocument::to_value() const { return value_at(0); }

}  // namespace vtm
