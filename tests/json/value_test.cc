#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/json_printing.h"
#include "json/json_value.h"
#include "json/parse.h"
#include "json/write.h"

namespace vtm {
namespace {

TEST(JsonValueTest, Equality) {
  // One representation per integer: a non-negative signed one is held unsigned.
  EXPECT_EQ(JsonValue::from_i64(7), JsonValue::from_u64(7));
  EXPECT_NE(JsonValue::from_i64(-7), JsonValue::from_u64(static_cast<std::uint64_t>(-7)));
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

// The parser's key order: either side of the insertion-sort limit (32) and of the remembered
// shapes' limit (16 keys), the last of equal keys kept.
TEST(JsonObjectTest, ParsedObjectsKeepLastOfEqualKeys) {
  for (int n : {0, 1, 2, 5, 16, 17, 31, 32, 33, 64, 200}) {
    std::string text = "{";
    JsonObject expected;
    for (int i = 0; i < n; ++i) {
      // Keys repeat, and arrive in no particular order.
      std::string key = "k";
      key += std::to_string((i * 7919) % (n / 2 + 1));
      text += (i == 0 ? "\"" : ",\"") + key + "\":" + std::to_string(i);
      expected.insert(key, JsonValue::from_u64(static_cast<std::uint64_t>(i)));
    }
    text += "}";
    const Result<JsonValue> parsed = parse_json(text);
    ASSERT_TRUE(parsed.ok()) << text;
    EXPECT_EQ(parsed.value(), JsonValue(expected)) << n;
    EXPECT_EQ(JsonObject::from_sorted_unique(expected.members()), expected) << n;
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
