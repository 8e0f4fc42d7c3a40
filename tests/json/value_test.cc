#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/json_printing.h"
#include "json/json_value.h"
#include "json/write.h"

namespace vtm {
namespace {

TEST(JsonValueTest, Kinds) {
  EXPECT_EQ(JsonValue().kind(), JsonValue::Kind::Null);
  EXPECT_EQ(JsonValue(nullptr).kind(), JsonValue::Kind::Null);
  EXPECT_EQ(JsonValue(true).kind(), JsonValue::Kind::Bool);
  EXPECT_EQ(JsonValue::from_u64(7).kind(), JsonValue::Kind::Unsigned);
  EXPECT_EQ(JsonValue::from_i64(-7).kind(), JsonValue::Kind::Negative);
  EXPECT_EQ(JsonValue::from_i64(7).kind(), JsonValue::Kind::Unsigned);
  EXPECT_EQ(JsonValue::from_i64(7).as_u64(), 7u);
  EXPECT_EQ(JsonValue::from_double(7).kind(), JsonValue::Kind::Float);
  EXPECT_EQ(JsonValue("s").kind(), JsonValue::Kind::String);
  EXPECT_EQ(JsonValue(std::string("s")).kind(), JsonValue::Kind::String);
  EXPECT_EQ(JsonValue(JsonArray{}).kind(), JsonValue::Kind::Array);
  EXPECT_EQ(JsonValue(JsonObject{}).kind(), JsonValue::Kind::Object);
}

TEST(JsonValueTest, Equality) {
  EXPECT_EQ(JsonValue::from_double(0.0), JsonValue::from_double(0.0));
  EXPECT_NE(JsonValue::from_double(0.0), JsonValue::from_double(-0.0));
  EXPECT_NE(JsonValue::from_u64(1), JsonValue::from_double(1.0));
  EXPECT_NE(JsonValue(), JsonValue(false));
  EXPECT_EQ(JsonValue(JsonArray{JsonValue("a"), JsonValue()}),
            JsonValue(JsonArray{JsonValue("a"), JsonValue()}));
  EXPECT_NE(JsonValue(JsonArray{JsonValue("a")}), JsonValue(JsonArray{JsonValue("b")}));
  JsonObject a, b;
  a.insert("x", JsonValue::from_u64(1));
  a.insert("y", JsonValue::from_u64(2));
  b.insert("y", JsonValue::from_u64(2));
  b.insert("x", JsonValue::from_u64(1));
  EXPECT_EQ(JsonValue(a), JsonValue(b));
  b.insert("x", JsonValue::from_u64(3));
  EXPECT_NE(JsonValue(a), JsonValue(b));
}

TEST(JsonValueTest, CopiesAreDeep) {
  JsonObject o;
  o.insert("list", JsonArray{JsonValue::from_u64(1)});
  JsonValue original(o);
  JsonValue copy = original;
  copy.as_object().find("list")->as_array().push_back(JsonValue::from_u64(2));
  EXPECT_EQ(original.as_object().find("list")->as_array().size(), 1u);
  EXPECT_EQ(copy.as_object().find("list")->as_array().size(), 2u);
}

TEST(JsonObjectTest, ReplacingInsertionKeepsKeyOrder) {
  JsonObject o;
  o.insert("success", false);
  o.insert("requestId", "r");
  o.insert("error", JsonObject{});
  o.insert("debugLog", JsonArray{});
  o.insert("data", nullptr);
  o.insert("success", true);
  ASSERT_EQ(o.size(), 5u);
  std::vector<std::string> keys;
  for (const JsonMember& m : o.members()) keys.push_back(m.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"data", "debugLog", "error", "requestId", "success"}));
  EXPECT_EQ(o.find("success")->as_bool(), true);
  EXPECT_EQ(o.find("missing"), nullptr);
  EXPECT_EQ(o.find("succes"), nullptr);
  EXPECT_EQ(o.find("successes"), nullptr);
  EXPECT_FALSE(o.empty());
  EXPECT_TRUE(JsonObject{}.empty());
}

TEST(JsonObjectTest, KeyLess) {
  EXPECT_TRUE(key_less("Z", "a"));
  EXPECT_TRUE(key_less("a", "ab"));
  EXPECT_TRUE(key_less("ab", "\xc3\xa9"));
  EXPECT_TRUE(key_less("", "a"));
  EXPECT_TRUE(key_less(std::string_view("a", 1), std::string_view("a\0", 2)));
  EXPECT_TRUE(key_less("\x7f", "\x80"));
  EXPECT_FALSE(key_less("a", "a"));
  EXPECT_FALSE(key_less("b", "a"));
  EXPECT_FALSE(key_less("\xff", "\x01"));
}

TEST(JsonObjectTest, FromUnsortedKeepsLastOfEqualKeys) {
  for (int n : {0, 1, 2, 5, 31, 32, 33, 64, 200}) {
    std::vector<JsonMember> members;
    JsonObject expected;
    for (int i = 0; i < n; ++i) {
      // Keys repeat, and arrive in no particular order.
      std::string key = "k";
      key += std::to_string((i * 7919) % (n / 2 + 1));
      members.emplace_back(key, JsonValue::from_u64(static_cast<std::uint64_t>(i)));
      expected.insert(key, JsonValue::from_u64(static_cast<std::uint64_t>(i)));
    }
    const JsonObject sorted = JsonObject::from_unsorted(std::move(members));
    EXPECT_EQ(sorted, expected) << n;
    EXPECT_EQ(JsonObject::from_sorted_unique(sorted.members()), expected) << n;
    for (std::size_t i = 1; i < sorted.members().size(); ++i) {
      EXPECT_TRUE(key_less(sorted.members()[i - 1].first, sorted.members()[i].first));
    }
  }
}

TEST(JsonValueTest, FindMember) {
  JsonObject o;
  o.insert("success", true);
  const JsonValue v(o);
  ASSERT_NE(find_member(v, "success"), nullptr);
  EXPECT_TRUE(find_member(v, "success")->as_bool());
  EXPECT_EQ(find_member(v, "Success"), nullptr);
  EXPECT_EQ(find_member(JsonValue(JsonArray{}), "success"), nullptr);
  EXPECT_EQ(find_member(JsonValue("success"), "success"), nullptr);
  EXPECT_EQ(find_member(JsonValue(), "success"), nullptr);
}

}  // namespace
}  // namespace vtm
