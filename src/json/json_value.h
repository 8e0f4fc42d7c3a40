#pragma once
// The in-memory JSON document: a small owning tree whose objects keep their members in
// ascending unsigned-byte key order, so every writer emits a canonical member order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vtm {

class JsonValue;

using JsonArray = std::vector<JsonValue>;
using JsonMember = std::pair<std::string, JsonValue>;

// Members sorted by key (unsigned bytes, shorter prefix first), keys unique.
class JsonObject {
 public:
  // Replacing insertion: an existing key gets the new value, the order stays sorted.
  void insert(std::string key, JsonValue value);
  const JsonValue* find(std::string_view key) const;
  JsonValue* find(std::string_view key);

  const std::vector<JsonMember>& members() const { return members_; }
  // Defined below JsonValue: the member type must be complete for them.
  std::size_t size() const;
  bool empty() const;

  // Adopts members already in key order with unique keys (the parser orders them itself
  // before building them, so each member is built in place once).
  static JsonObject from_sorted_unique(std::vector<JsonMember> members);

  friend bool operator==(const JsonObject&, const JsonObject&);

 private:
  std::vector<JsonMember> members_;
};

// Unsigned-byte order of keys; a key sorts before every longer key that begins with it.
bool key_less(std::string_view a, std::string_view b);

class JsonValue {
 public:
  enum class Kind : std::uint8_t { Null, Bool, Unsigned, Negative, Float, String, Array, Object };

  JsonValue() = default;  // null
  JsonValue(std::nullptr_t) {}
  JsonValue(bool b) : data_(b) {}
  // Non-negative integers are held unsigned, negative ones signed: one representation per value.
  static JsonValue from_u64(std::uint64_t v) {
    JsonValue out;
    out.data_.emplace<std::uint64_t>(v);
    return out;
  }
  static JsonValue from_i64(std::int64_t v) {
    if (v >= 0) return from_u64(static_cast<std::uint64_t>(v));
    JsonValue out;
    out.data_.emplace<std::int64_t>(v);
    return out;
  }
  static JsonValue from_double(double v) {
    JsonValue out;
    out.data_.emplace<double>(v);
    return out;
  }
  JsonValue(std::string s) : data_(std::move(s)) {}
  JsonValue(const char* s) : data_(std::string(s)) {}
  // Copies the text straight into place (the parser builds its strings this way).
  explicit JsonValue(std::string_view s) : data_(std::in_place_type<std::string>, s) {}
  JsonValue(JsonArray a) : data_(std::move(a)) {}
  JsonValue(JsonObject o) : data_(std::move(o)) {}

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool is_null() const { return kind() == Kind::Null; }

  bool as_bool() const { return std::get<bool>(data_); }
  std::uint64_t as_u64() const { return std::get<std::uint64_t>(data_); }
  std::int64_t as_i64() const { return std::get<std::int64_t>(data_); }
  double as_double() const { return std::get<double>(data_); }
  const std::string& as_string() const { return std::get<std::string>(data_); }
  const JsonArray& as_array() const { return std::get<JsonArray>(data_); }
  JsonArray& as_array() { return std::get<JsonArray>(data_); }
  const JsonObject& as_object() const { return std::get<JsonObject>(data_); }
  JsonObject& as_object() { return std::get<JsonObject>(data_); }

  // Deep equality; floats compare by their bits, so -0.0 differs from 0.0 (they print differently).
  friend bool operator==(const JsonValue&, const JsonValue&);

 private:
  // Order matches Kind.
  std::variant<std::monostate, bool, std::uint64_t, std::int64_t, double, std::string, JsonArray,
               JsonObject>
      data_;
};

inline std::size_t JsonObject::size() const { return members_.size(); }
inline bool JsonObject::empty() const { return members_.empty(); }

// The member with that key, or nullptr when the value is no object or has no such member.
const JsonValue* find_member(const JsonValue& value, std::string_view key);

}  // namespace vtm
