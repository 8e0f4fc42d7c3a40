// Property: rendering a value in either form and parsing the text back gives the same value.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "json/json_printing.h"
#include "json/json_value.h"
#include "json/parse.h"
#include "json/write.h"
#include "support/split_mix.h"

namespace vtm {
namespace {

using Rng = testing::SplitMix;

std::string random_string(Rng& rng) {
  static const char* const PIECES[] = {"a",
                                       "Z",
                                       " ",
                                       "\"",
                                       "\\",
                                       "/",
                                       "\n",
                                       "\t",
                                       "\x01",
                                       "\x1f",
                                       "\x7f",
                                       "" /* NUL, below */,
                                       "\xc3\xa9",
                                       "\xe2\x82\xac",
                                       "\xf0\x9f\x98\x80",
                                       "\xef\xbf\xbf",
                                       "\xed\x9f\xbf",
                                       "key",
                                       "0123456789abcdefghijklmnopqrstuvwxyz"};
  std::string s;
  const std::uint64_t n = rng.below(12);
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::uint64_t pick = rng.below(std::size(PIECES));
    if (pick == 11) {
      s.push_back('\0');
    } else {
      s += PIECES[pick];
    }
  }
  if (rng.below(20) == 0) s += std::string(rng.below(300), 'x');
  return s;
}

// Floats whose shortest text the deliberately not correctly rounded reader maps back exactly:
// at most 15 significant digits and a decimal scale within the exactly representable powers.
// 1e15 <= |d| < 1e16 is left out: its fixed text "d...d.0" carries 17 digits.
double random_float(Rng& rng) {
  const std::uint64_t digits = rng.below(1000000000000000ull);
  std::string text = std::to_string(digits);
  int scale = static_cast<int>(rng.below(15)) - 7;
  if (static_cast<int>(text.size()) + scale == 16) scale -= 1;
  text += "e";
  text += std::to_string(scale);
  double d = std::strtod(text.c_str(), nullptr);
  if (rng.below(2) == 0) d = -d;
  return d;
}

JsonValue random_value(Rng& rng, int depth) {
  const std::uint64_t kind = rng.below(depth >= 6 ? 6 : 8);
  switch (kind) {
    case 0:
      return JsonValue();
    case 1:
      return JsonValue(rng.below(2) == 0);
    case 2: {
      const std::uint64_t v = rng.next();
      return JsonValue::from_u64(rng.below(2) == 0 ? v : v % 1000);
    }
    case 3: {
      const auto v = static_cast<std::int64_t>(rng.next() | (1ull << 63));
      return JsonValue::from_i64(
          rng.below(2) == 0 ? v : -static_cast<std::int64_t>(rng.below(1000)) - 1);
    }
    case 4: {
      switch (rng.below(6)) {
        case 0:
          return JsonValue::from_double(0.0);
        case 1:
          return JsonValue::from_double(-0.0);
        case 2:
          return JsonValue::from_double(static_cast<double>(rng.below(1000000000000000ull)));
        default:
          return JsonValue::from_double(random_float(rng));
      }
    }
    case 5:
      return JsonValue(random_string(rng));
    case 6: {
      JsonArray a;
      const std::uint64_t n = rng.below(6);
      for (std::uint64_t i = 0; i < n; ++i) a.push_back(random_value(rng, depth + 1));
      return JsonValue(std::move(a));
    }
    default: {
      JsonObject o;
      const std::uint64_t n = rng.below(6);
      for (std::uint64_t i = 0; i < n; ++i)
        o.insert(random_string(rng), random_value(rng, depth + 1));
      return JsonValue(std::move(o));
    }
  }
}

TEST(RoundTripTest, GeneratedValuesSurviveBothForms) {
  Rng rng(20240611);
  for (int n = 0; n < 3000; ++n) {
    const JsonValue v = random_value(rng, 0);
    const std::string compact = to_compact_text(v);
    const std::string indented = to_indented_text(v);
    const Result<JsonValue> from_compact = parse_json(compact);
    ASSERT_TRUE(from_compact.ok()) << compact << ": " << from_compact.error();
    EXPECT_EQ(from_compact.value(), v) << compact;
    const Result<JsonValue> from_indented = parse_json(indented);
    ASSERT_TRUE(from_indented.ok()) << indented << ": " << from_indented.error();
    EXPECT_EQ(from_indented.value(), v) << indented;
    // Rendering is a function of the value alone.
    EXPECT_EQ(to_compact_text(from_indented.value()), compact);
    EXPECT_EQ(compact.find('\n'), std::string::npos);
  }
}

TEST(RoundTripTest, DeepestNesting) {
  JsonValue v = JsonValue::from_u64(1);
  for (int i = 0; i < 126; ++i) {
    if (i % 2 == 0) {
      v = JsonValue(JsonArray{std::move(v)});
    } else {
      JsonObject o;
      o.insert("k", std::move(v));
      v = JsonValue(std::move(o));
    }
  }
  v = JsonValue(JsonArray{std::move(v)});  // 127 containers
  for (const std::string& text : {to_compact_text(v), to_indented_text(v)}) {
    const Result<JsonValue> r = parse_json(text);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r.value(), v);
  }
  // The 128th opening bracket is the innermost array, after 2 + 63 * 5 + 62 bytes.
  const JsonValue deeper(JsonArray{v});
  EXPECT_EQ(parse_json(to_compact_text(deeper)).error(),
            "recursion limit exceeded at line 1 column 380");
  // Built in code, a tree may be far deeper than a parsed one: its lines are indented in full.
  JsonValue deepest = JsonValue::from_u64(1);
  for (int i = 0; i < 300; ++i) deepest = JsonValue(JsonArray{std::move(deepest)});
  std::string innermost = "\n";
  innermost.append(600, ' ').append("1\n").append(598, ' ').push_back(']');
  EXPECT_NE(to_indented_text(deepest).find(innermost), std::string::npos);
}

}  // namespace
}  // namespace vtm
