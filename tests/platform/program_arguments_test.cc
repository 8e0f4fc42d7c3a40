#include "platform/portable/program_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vtm::platform {
namespace {

TEST(Utf8Arguments, ConvertsEveryArgumentInOrder) {
  const std::vector<std::u16string> wide = {u"click", u"", u"--x", u"\u00E9\xD83D\xDE00"};
  const auto converted = utf8_arguments(wide);
  ASSERT_TRUE(converted.ok()) << converted.error();
  EXPECT_EQ(converted.value(),
            (std::vector<std::string>{"click", "", "--x", "\xC3\xA9\xF0\x9F\x98\x80"}));
}

TEST(Utf8Arguments, NoArgumentsIsAnEmptyList) {
  const auto converted = utf8_arguments({});
  ASSERT_TRUE(converted.ok());
  EXPECT_TRUE(converted.value().empty());
}

struct BadArgumentCase {
  std::vector<std::u16string> arguments;
  const char* message;
};

class Utf8ArgumentsRejects : public testing::TestWithParam<BadArgumentCase> {};

TEST_P(Utf8ArgumentsRejects, NamesTheFirstBadArgumentCountingFromOne) {
  const auto converted = utf8_arguments(GetParam().arguments);
  ASSERT_FALSE(converted.ok());
  EXPECT_EQ(converted.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ArgumentsRejects,
    testing::Values(
        BadArgumentCase{{u"\xD800"}, "argument 1 is not valid UTF-8"},
        BadArgumentCase{{u"click", u"a\xDC00"}, "argument 2 is not valid UTF-8"},
        BadArgumentCase{{u"a", u"b", u"c\xD800", u"\xDC00"}, "argument 3 is not valid UTF-8"},
        BadArgumentCase{{u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"10", u"\xDBFF"},
                        "argument 11 is not valid UTF-8"}));

}  // namespace
}  // namespace vtm::platform
