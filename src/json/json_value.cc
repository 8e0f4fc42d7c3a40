#include "json/json_value.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <iterator>

namespace vtm {

bool key_less(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  const auto* x = reinterpret_cast<const unsigned char*>(a.data());
  const auto* y = reinterpret_cast<const unsigned char*>(b.data());
  // Keys are short: compare in place rather than call memcmp.
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      std::uint64_t u;
      std::uint64_t v;
      std::memcpy(&u, x + i, 8);
      std::memcpy(&v, y + i, 8);
      if (u != v) {
        // The lowest differing bit lies in the first differing byte.
        const int shift = std::countr_zero(u ^ v) & ~7;
        return ((u >> shift) & 0xFF) < ((v >> shift) & 0xFF);
      }
    }
  }
  for (; i < n; ++i) {
    if (x[i] != y[i]) return x[i] < y[i];
  }
  return a.size() < b.size();
}

namespace {

template <class Members>
auto lower_bound_key(Members& members, std::string_view key) {
  return std::lower_bound(
      members.begin(), members.end(), key,
      [](const JsonMember& m, std::string_view k) { return key_less(m.first, k); });
}

}  // namespace

void JsonObject::insert(std::string key, JsonValue value) {
  auto it = lower_bound_key(members_, key);
  if (it != members_.end() && it->first == key) {
    it->second = std::move(value);
    return;
  }
  members_.emplace(it, std::move(key), std::move(value));
}

const JsonValue* JsonObject::find(std::string_view key) const {
  auto it = lower_bound_key(members_, key);
  if (it != members_.end() && it->first == key) return &it->second;
  return nullptr;
}

JsonValue* JsonObject::find(std::string_view key) {
  auto it = lower_bound_key(members_, key);
  if (it != members_.end() && it->first == key) return &it->second;
  return nullptr;
}

JsonObject JsonObject::from_sorted_unique(std::vector<JsonMember> members) {
  assert(std::adjacent_find(members.begin(), members.end(), [](const auto& a, const auto& b) {
           return !key_less(a.first, b.first);
         }) == members.end());
  JsonObject object;
  object.members_ = std::move(members);
  return object;
}

bool operator==(const JsonObject& a, const JsonObject& b) { return a.members_ == b.members_; }

bool operator==(const JsonValue& a, const JsonValue& b) {
  if (a.data_.index() != b.data_.index()) return false;
  switch (a.kind()) {
    case JsonValue::Kind::Null:
      return true;
    case JsonValue::Kind::Bool:
      return a.as_bool() == b.as_bool();
    case JsonValue::Kind::Unsigned:
      return a.as_u64() == b.as_u64();
    case JsonValue::Kind::Negative:
      return a.as_i64() == b.as_i64();
    case JsonValue::Kind::Float:
      // Same bits: -0.0 and 0.0 print differently, so they are different values.
      return std::bit_cast<std::uint64_t>(a.as_double()) ==
             std::bit_cast<std::uint64_t>(b.as_double());
    case JsonValue::Kind::String:
      return a.as_string() == b.as_string();
    case JsonValue::Kind::Array:
      return a.as_array() == b.as_array();
    case JsonValue::Kind::Object:
      return a.as_object() == b.as_object();
  }
  return false;
}

const JsonValue* find_member(const JsonValue& value, std::string_view key) {
  if (value.kind() != JsonValue::Kind::Object) return nullptr;
  return value.as_object().find(key);
}

}  // namespace vtm
