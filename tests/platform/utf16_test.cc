#include "platform/portable/utf16.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vtm::platform {
namespace {

struct Utf16Case {
  const char* name;
  std::u16string input;
  std::optional<std::string> expected;
};

class Utf16ToUtf8 : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16ToUtf8, ConvertsOrRejects) {
  EXPECT_EQ(utf16_to_utf8(GetParam().input), GetParam().expected);
}

const std::u16string GRIN = u"\xD83D\xDE00";  // U+1F600
const std::string GRIN_UTF8 = "\xF0\x9F\x98\x80";

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf16ToUtf8,
    testing::Values(
        Utf16Case{"Empty", u"", std::string()},
        Utf16Case{"Ascii", u"--json", std::string("--json")},
        Utf16Case{"Nul", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
        Utf16Case{"TwoAndThreeBytes", u"\u00E9\u20AC\u07FF\u0800", std::string("\xC3\xA9\xE2\x82\xAC\xDF\xBF\xE0\xA0\x80")},
        Utf16Case{"LastBmp", u"\xFFFF", std::string("\xEF\xBF\xBF")},
        Utf16Case{"PairAtStart", GRIN + u"ab", GRIN_UTF8 + "ab"},
        Utf16Case{"PairInMiddle", u"a" + GRIN + u"b", "a" + GRIN_UTF8 + "b"},
        Utf16Case{"PairAtEnd", u"ab" + GRIN, "ab" + GRIN_UTF8},
        Utf16Case{"HighestCodePoint", u"\xDBFF\xDFFF", std::string("\xF4\x8F\xBF\xBF")},
        Utf16Case{"LowestPair", u"\xD800\xDC00", std::string("\xF0\x90\x80\x80")},
        Utf16Case{"LoneHighAtStart", u"\xD83D" u"ab", std::nullopt},
        Utf16Case{"LoneHighInMiddle", u"a\xD83D" u"b", std::nullopt},
        Utf16Case{"LoneHighAtEnd", u"ab\xD83D", std::nullopt},
        Utf16Case{"LoneLowAtStart", u"\xDE00" u"ab", std::nullopt},
        Utf16Case{"LoneLowInMiddle", u"a\xDE00" u"b", std::nullopt},
        Utf16Case{"LoneLowAtEnd", u"ab\xDE00", std::nullopt},
        Utf16Case{"PairReversed", u"\xDE00\xD83D", std::nullopt},
        Utf16Case{"TwoHighs", u"\xD83D\xD83D\xDE00", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct Utf8Case {
  const char* name;
  std::string input;
  std::optional<std::u16string> expected;
};

// The strict rules themselves are the text module's table; here, that each kind of refusal stops
// the conversion.
class Utf8ToUtf16 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16, ConvertsOrRejects) {
  EXPECT_EQ(utf8_to_utf16(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToUtf16,
    testing::Values(
        Utf8Case{"Empty", "", std::u16string()},
        Utf8Case{"PipePath", "\\\\.\\pipe\\bridge", std::u16string(u"\\\\.\\pipe\\bridge")},
        Utf8Case{"Nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        Utf8Case{"Mixed", "\xC3\xA9\xE2\x82\xAC" + GRIN_UTF8, u"\u00E9\u20AC" + GRIN},
        Utf8Case{"Highest", "\xF4\x8F\xBF\xBF", std::u16string(u"\xDBFF\xDFFF")},
        Utf8Case{"Surrogate", "\xED\xA0\x80", std::nullopt},
        Utf8Case{"StrayContinuation", "a\x80", std::nullopt},
        Utf8Case{"TruncatedAtEnd", "a\xE2\x82", std::nullopt},
        Utf8Case{"TruncatedInMiddle", "\xE2\x82" "a", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf16RoundTrip, EveryScalarValueBoundary) {
  for (char32_t code_point : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFDu,
                              0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::u16string units;
    if (code_point < 0x10000) {
      units.push_back(static_cast<char16_t>(code_point));
    } else {
      units.push_back(static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF)));
    }
    const std::optional<std::string> utf8 = utf16_to_utf8(units);
    ASSERT_TRUE(utf8.has_value()) << std::hex << static_cast<unsigned>(code_point);
    EXPECT_EQ(utf8_to_utf16(*utf8), units) << std::hex << static_cast<unsigned>(code_point);
  }
}

}  // namespace
}  // namespace vtm::platform
