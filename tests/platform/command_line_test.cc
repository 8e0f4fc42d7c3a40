#include "platform/portable/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vtm::platform {
namespace {

struct SplitCase {
  const char* name;
  std::u16string line;
  std::vector<std::u16string> split;  // program name first
};

class SplitCommandLine : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, SplitsAsTheCRuntimeBuildsArgv) {
  EXPECT_EQ(split_command_line(GetParam().line), GetParam().split);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLine,
    testing::Values(
        SplitCase{"DoubledQuotesStayInTheQuotedRun",
                  uR"(v type "a ""b"" c" x --json)",
                  {u"v", u"type", uR"(a "b" c)", u"x", u"--json"}},
        SplitCase{"DoubledQuotesOutsideAndAtTheEdges",
                  uR"(v a""b """a""" """")",
                  {u"v", u"ab", uR"("a")", uR"(")"}},
        SplitCase{"QuotedRunJoinsWhatTouchesIt", uR"(v "a b"c d"e f")", {u"v", u"a bc", u"de f"}},
        SplitCase{
            "EvenBackslashesThenQuote", uR"(v a\\"b c" d\\\\"e")", {u"v", uR"(a\b c)", uR"(d\\e)"}},
        SplitCase{"OddBackslashesThenQuote",
                  uR"(v a\"b \\\"c "d\" e")",
                  {u"v", uR"(a"b)", uR"(\"c)", uR"(d" e)"}},
        SplitCase{"BackslashesNotBeforeAQuote",
                  uR"(v C:\dir\\x\ "a\b c\\")",
                  {u"v", uR"(C:\dir\\x\)", uR"(a\b c\)"}},
        SplitCase{"TrailingBackslash", uR"(v a\)", {u"v", uR"(a\)"}},
        SplitCase{
            "TabsSeparateAndQuotedTabsStay", u"v\ta\t\tb \"c\td\"", {u"v", u"a", u"b", u"c\td"}},
        SplitCase{"EmptyQuotedArguments", uR"(v "" x "")", {u"v", u"", u"x", u""}},
        SplitCase{"UnterminatedQuoteRunsToTheEnd", uR"(v "a  b\" c)", {u"v", uR"(a  b" c)"}},
        SplitCase{"LoneQuoteIsAnEmptyArgument", uR"(v x ")", {u"v", u"x", u""}},
        SplitCase{"QuotedProgramPathWithSpaces",
                  uR"("C:\Program Files\v.exe" click --x 1)",
                  {uR"(C:\Program Files\v.exe)", u"click", u"--x", u"1"}},
        // A path holds no quote, so the program name takes no backslash escapes.
        SplitCase{
            "ProgramNameQuotesOnlyGroup", uR"("C:\dir\"v "a\"b")", {uR"(C:\dir\v)", uR"(a"b)"}},
        SplitCase{"TrailingWhitespace", u"v a \t ", {u"v", u"a"}},
        SplitCase{"LeadingWhitespaceLeavesAnEmptyProgramName", u" \tv a", {u"", u"v", u"a"}},
        SplitCase{"EmptyLine", u"", {u""}},
        SplitCase{"SurrogatesPassUntouched",
                  u"v \xD800 \"\xD83D\xDE00\"",
                  {u"v", u"\xD800", u"\xD83D\xDE00"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vtm::platform
