#include "json/write.h"

#include <gtest/gtest.h>

#include "json/float_reference.h"

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
      // Both ends of every layout, with the longest digits each can take.
      {-0.000012345678901234568, "-0.000012345678901234568"},
      {-1.2345678901234567e-6, "-1.2345678901234567e-6"},
      {1.2345678901234568e16, "1.2345678901234568e+16"},
      {123.0, "123.0"},
      {1.5, "1.5"},
      {-1.2345678901234567e-308, "-1.2345678901234567e-308"},
      {1e-7, "1e-7"},
      {1e-10, "1e-10"},
      {1e100, "1e+100"},
      // Subnormals: the smallest two, and the largest.
      {9.8813129168249309e-324, "1e-323"},
      {2.2250738585072009e-308, "2.225073858507201e-308"},
      // Around 2^53, where integers stop being exact.
      {9007199254740991.0, "9007199254740991.0"},
      {9007199254740992.0, "9007199254740992.0"},
      {9007199254740994.0, "9007199254740994.0"},
      // Two shortest candidates equally near the value: the even one (2^50 + 0.25, 2^-25).
      {1125899906842624.25, "1125899906842624.2"},
      {2.98023223876953125e-8, "2.9802322387695312e-8"},
      {std::numeric_limits<double>::infinity(), "null"},
      {-std::numeric_limits<double>::infinity(), "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(float_text(value), text) << text;
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
    EXPECT_EQ(text, testing::printf_float_text(d)) << std::bit_cast<std::uint64_t>(d);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
    ++checked;
  }
  EXPECT_GT(checked, 19000);
}

// Every power of two and both its neighbours: all binary exponents, the subnormal seam and the
// ties between two shortest candidates that powers of two produce.
TEST(WriteTest, FloatTextAtEveryPowerOfTwo) {
  for (int e = -1074; e <= 1023; ++e) {
    const double p = std::ldexp(1.0, e);
    for (const double d : {std::nextafter(p, 0.0), p, std::nextafter(p, HUGE_VAL)}) {
      if (d == 0 || !std::isfinite(d)) continue;
      ASSERT_EQ(float_text(d), testing::to_chars_float_text(d)) << std::bit_cast<std::uint64_t>(d);
      ASSERT_EQ(float_text(-d), testing::to_chars_float_text(-d));
    }
  }
}

TEST(WriteTest, AppendForms) {
  std::string out = "x";
  append_compact_text(out, JsonArray{JsonValue::from_u64(1)});
  append_indented_text(out, JsonArray{JsonValue::from_u64(2)});
  EXPECT_EQ(out, "x[1][\n  2\n]");
}

}  // namespace
}  // namespace vtm
