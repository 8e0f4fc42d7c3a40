#include "json/write.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace vtm {
namespace {

JsonObject object_of(std::initializer_list<std::pair<const char*, JsonValue>> members) {
  JsonObject o;
  for (const auto& m : members) o.insert(m.first, m.second);
  return o;
}

TEST(WriteTest, EightLineIndentedExample) {
  JsonObject o;
  o.insert("c", nullptr);
  o.insert("b", JsonArray{JsonValue::from_u64(1), JsonValue::from_u64(2)});
  o.insert("a", JsonObject{});
  const JsonValue v(std::move(o));
  EXPECT_EQ(to_indented_text(v),
            "{\n"
            "  \"a\": {},\n"
            "  \"b\": [\n"
            "    1,\n"
            "    2\n"
            "  ],\n"
            "  \"c\": null\n"
            "}");
  EXPECT_EQ(to_compact_text(v), R"({"a":{},"b":[1,2],"c":null})");
}

TEST(WriteTest, NestedEmptyContainers) {
  const JsonValue v(object_of(
      {{"a", JsonArray{}},
       {"b", JsonObject{}},
       {"c", JsonArray{JsonValue(JsonArray{}), JsonValue(JsonObject{})}},
       {"d", object_of({{"e", JsonArray{JsonValue(JsonArray{JsonValue(JsonArray{})})}}})}}));
  EXPECT_EQ(to_indented_text(v),
            "{\n"
            "  \"a\": [],\n"
            "  \"b\": {},\n"
            "  \"c\": [\n"
            "    [],\n"
            "    {}\n"
            "  ],\n"
            "  \"d\": {\n"
            "    \"e\": [\n"
            "      [\n"
            "        []\n"
            "      ]\n"
            "    ]\n"
            "  }\n"
            "}");
  EXPECT_EQ(to_compact_text(v), R"({"a":[],"b":{},"c":[[],{}],"d":{"e":[[[]]]}})");
  EXPECT_EQ(to_indented_text(JsonArray{}), "[]");
  EXPECT_EQ(to_indented_text(JsonObject{}), "{}");
}

TEST(WriteTest, ScalarsAtTopLevel) {
  EXPECT_EQ(to_indented_text(JsonValue()), "null");
  EXPECT_EQ(to_compact_text(JsonValue(true)), "true");
  EXPECT_EQ(to_indented_text(JsonValue(false)), "false");
  EXPECT_EQ(to_compact_text(JsonValue("x")), "\"x\"");
  EXPECT_EQ(to_indented_text(JsonValue::from_double(1.5)), "1.5");
}

TEST(WriteTest, KeyOrderByUnsignedBytes) {
  JsonObject o;
  o.insert("\xc3\xa9", JsonValue::from_u64(4));
  o.insert("ab", JsonValue::from_u64(3));
  o.insert("a", JsonValue::from_u64(2));
  o.insert("Z", JsonValue::from_u64(1));
  o.insert("", JsonValue::from_u64(0));
  o.insert(std::string("a\0", 2), JsonValue::from_u64(5));
  EXPECT_EQ(to_compact_text(JsonValue(o)),
            "{\"\":0,\"Z\":1,\"a\":2,\"a\\u0000\":5,\"ab\":3,\"\xc3\xa9\":4}");
  EXPECT_EQ(to_indented_text(JsonValue(object_of({{"b", true}, {"a", JsonArray{JsonValue()}}}))),
            "{\n  \"a\": [\n    null\n  ],\n  \"b\": true\n}");
}

TEST(WriteTest, StringEscapes) {
  std::string all;
  for (int c = 0; c < 0x20; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(to_compact_text(JsonValue(all)),
            "\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r"
            "\\u000e\\u000f\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018\\u0019"
            "\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f\"");
  EXPECT_EQ(to_compact_text(JsonValue("\"\\/\x7f")), "\"\\\"\\\\/\x7f\"");
  EXPECT_EQ(to_compact_text(JsonValue("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80")),
            "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"");
  // Keys are written the same way, in both forms.
  JsonObject keyed;
  keyed.insert("a\"b\n", nullptr);
  EXPECT_EQ(to_indented_text(JsonValue(keyed)), "{\n  \"a\\\"b\\n\": null\n}");
  // Special bytes at every offset of a long string.
  for (std::size_t at = 0; at < 140; ++at) {
    const std::string head(at, 'x');
    EXPECT_EQ(to_compact_text(JsonValue(head + "\x1b" + head + "\"")),
              "\"" + head + "\\u001b" + head + "\\\"\"");
  }
}

TEST(WriteTest, Integers) {
  EXPECT_EQ(to_compact_text(JsonValue::from_u64(0)), "0");
  EXPECT_EQ(to_compact_text(JsonValue::from_u64(18446744073709551615ull)), "18446744073709551615");
  EXPECT_EQ(to_compact_text(JsonValue::from_i64(-1)), "-1");
  EXPECT_EQ(to_compact_text(JsonValue::from_i64(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(to_compact_text(JsonValue::from_i64(INT64_MAX)), "9223372036854775807");
  EXPECT_EQ(JsonValue::from_i64(5).kind(), JsonValue::Kind::Unsigned);
  EXPECT_EQ(JsonValue::from_i64(0).kind(), JsonValue::Kind::Unsigned);
}

std::string float_text(double d) { return to_compact_text(JsonValue::from_double(d)); }

TEST(WriteTest, FloatText) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1.0, "1.0"},
      {-1.0, "-1.0"},
      {100.0, "100.0"},
      {0.001, "0.001"},
      {0.00001, "0.00001"},
      {0.000001, "1e-6"},
      {0.0000015, "1.5e-6"},
      {0.000012345, "0.000012345"},
      {0.25, "0.25"},
      {0.1, "0.1"},
      {123.45, "123.45"},
      {-123.45, "-123.45"},
      {1e15, "1000000000000000.0"},
      {1.5e15, "1500000000000000.0"},
      {1234567890123456.7, "1234567890123456.8"},
      {9999999999999998.0, "9999999999999998.0"},
      {1e16, "1e+16"},
      {1.5e300, "1.5e+300"},
      {1e-6, "1e-6"},
      {2.5e-7, "2.5e-7"},
      {4.9406564584124654e-324, "5e-324"},
      {DBL_MAX, "1.7976931348623157e+308"},
      {-DBL_MAX, "-1.7976931348623157e+308"},
      {DBL_MIN, "2.2250738585072014e-308"},
      {18446744073709551616.0, "1.8446744073709552e+19"},
      {-9223372036854775808.0, "-9.223372036854776e+18"},
      {0.30000000000000004, "0.30000000000000004"},
      {1.0 / 3.0, "0.3333333333333333"},
      {2.0 / 3.0, "0.6666666666666666"},
      {123456.789e3, "123456789.0"},
      {1e21, "1e+21"},
      {1e22, "1e+22"},
      {1e23, "1e+23"},
      {5e-5, "0.00005"},
      {std::numeric_limits<double>::infinity(), "null"},
      {-std::numeric_limits<double>::infinity(), "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(float_text(value), text) << text;
}

// An independent model of the float text: the shortest "%.*e" that reads back exactly, laid out.
std::string model_float_text(double d) {
  if (d == 0) return std::signbit(d) ? "-0.0" : "0.0";
  char buf[64];
  int k = 1;
  for (; k <= 17; ++k) {
    std::snprintf(buf, sizeof buf, "%.*e", k - 1, d);
    if (std::strtod(buf, nullptr) == d) break;
  }
  std::string s = buf;
  std::string out;
  std::size_t i = 0;
  if (s[0] == '-') {
    out = "-";
    i = 1;
  }
  std::string digits;
  for (; s[i] != 'e'; ++i) {
    if (s[i] != '.') digits.push_back(s[i]);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int e = std::atoi(s.c_str() + i + 1);
  const int n = static_cast<int>(digits.size());
  if (e >= -5 && e <= 15) {
    if (e < 0)
      return out + std::string("0.") + std::string(static_cast<std::size_t>(-e - 1), '0') + digits;
    if (e < n - 1) return out + digits.substr(0, e + 1) + "." + digits.substr(e + 1);
    return out + digits + std::string(static_cast<std::size_t>(e - n + 1), '0') + ".0";
  }
  out += digits.substr(0, 1);
  if (n > 1) out += "." + digits.substr(1);
  return out + "e" + (e < 0 ? "-" : "+") + std::to_string(e < 0 ? -e : e);
}

TEST(WriteTest, FloatTextAgainstModel) {
  std::uint64_t state = 88172645463325252ull;
  int checked = 0;
  for (int n = 0; n < 20000; ++n) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    double d = std::bit_cast<double>(state);
    // Also many values of ordinary magnitudes, where the fixed layout applies.
    if (n % 2 == 0)
      d = std::ldexp(static_cast<double>(state >> 11), -53 + static_cast<int>(n % 80) - 30);
    if (!std::isfinite(d)) continue;
    const std::string text = float_text(d);
    EXPECT_EQ(text, model_float_text(d)) << std::bit_cast<std::uint64_t>(d);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
    ++checked;
  }
  EXPECT_GT(checked, 19000);
}

TEST(WriteTest, AppendForms) {
  std::string out = "x";
  append_compact_text(out, JsonArray{JsonValue::from_u64(1)});
  append_indented_text(out, JsonArray{JsonValue::from_u64(2)});
  EXPECT_EQ(out, "x[1][\n  2\n]");
}

}  // namespace
}  // namespace vtm
