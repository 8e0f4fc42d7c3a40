#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "cli/vocabulary.h"

namespace vtm {
namespace {

using Args = std::vector<std::string>;

TEST(RemoveFlag, RemovesEveryCopyAndKeepsOrder) {
  Args args = {"--json", "a", "--json", "b", "--jsonx", "--json"};
  EXPECT_TRUE(remove_flag(args, "--json"));
  EXPECT_EQ(args, (Args{"a", "b", "--jsonx"}));
  EXPECT_FALSE(remove_flag(args, "--json"));
  EXPECT_EQ(args, (Args{"a", "b", "--jsonx"}));
}

struct NormaliseCase {
  Args in;
  Road road;
  bool compact;
  Args left;
};

TEST(NormaliseArguments, OrderAndRoads) {
  const std::vector<NormaliseCase> cases = {
      {{}, Road::Usage, false, {}},
      {{"--json"}, Road::Usage, true, {}},
      {{"--no-remote"}, Road::Usage, false, {}},
      {{"--json-output"}, Road::Usage, true, {}},
      {{"--version", "--help", "-h", "click"}, Road::Version, false, {"--help", "-h", "click"}},
      {{"--json", "--version"}, Road::Version, true, {}},
      {{"click", "-h"}, Road::Usage, false, {"click"}},
      {{"click", "--help", "-h"}, Road::Usage, false, {"click", "-h"}},
      {{"click", "--json", "x"}, Road::Command, true, {"click", "x"}},
      {{"--json-output", "click", "--json"}, Road::Command, true, {"--json-output", "click"}},
      {{"click", "--json-output"}, Road::Command, true, {"click"}},
      {{"--no-remote", "click", "--no-remote"}, Road::Command, false, {"click"}},
      {{"--JSON", "--json=1", "--version2", "--h"},
       Road::Command,
       false,
       {"--JSON", "--json=1", "--version2", "--h"}},
  };
  for (const NormaliseCase& c : cases) {
    Args args = c.in;
    const Normalised n = normalise_arguments(args);
    EXPECT_EQ(n.road, c.road) << ::testing::PrintToString(c.in);
    EXPECT_EQ(n.compact, c.compact) << ::testing::PrintToString(c.in);
    if (c.road == Road::Command) {
      EXPECT_EQ(args, c.left) << ::testing::PrintToString(c.in);
    }
  }
}

struct ResolveCase {
  Args in;
  std::string command;  // empty when a failure is expected
  Args arguments;
  std::string failure;
};

TEST(ResolveCommand, VocabularyAndListShorthand) {
  const std::vector<ResolveCase> cases = {
      {{"click", "--x", "1"}, "click", {"--x", "1"}, ""},
      {{"completions"}, "completions", {}, ""},
      {{"set-value", "", ""}, "set-value", {"", ""}, ""},
      {{"app", "list"}, "app", {"list"}, ""},
      {{"list", "windows", "a", "b"}, "window", {"list", "a", "b"}, ""},
      {{"list", "displays"}, "screen", {"list"}, ""},
      {{"list", "screens"}, "screen", {"list"}, ""},
      {{"list", "apps"}, "app", {"list"}, ""},
      {{"list", "applications", "x"}, "app", {"list", "x"}, ""},
      {{"list"}, "", {}, "list requires apps, windows, or screens"},
      {{"list", "Apps"}, "", {}, "unsupported list target: Apps"},
      {{"list", "app"}, "", {}, "unsupported list target: app"},
      {{"list", "window"}, "", {}, "unsupported list target: window"},
      {{"list", ""}, "", {}, "unsupported list target: "},
      {{"List"}, "", {}, "unknown command: List"},
      {{"clic"}, "", {}, "unknown command: clic"},
      {{"clicks"}, "", {}, "unknown command: clicks"},
      {{"set_value"}, "", {}, "unknown command: set_value"},
      {{"menubars"}, "", {}, "unknown command: menubars"},
      {{" click"}, "", {}, "unknown command:  click"},
      {{""}, "", {}, "unknown command: "},
  };
  for (const ResolveCase& c : cases) {
    Result<ResolvedCommand> r = resolve_command(c.in);
    const std::string label = ::testing::PrintToString(c.in);
    if (c.command.empty()) {
      ASSERT_FALSE(r.ok()) << label;
      EXPECT_EQ(r.error(), c.failure) << label;
    } else {
      ASSERT_TRUE(r.ok()) << label << " " << r.error();
      EXPECT_EQ(r.value().command, c.command) << label;
      EXPECT_EQ(r.value().arguments, c.arguments) << label;
    }
  }
}

TEST(ResolveCommand, EveryWordIsACommand) {
  for (std::string_view word : COMMAND_WORDS) {
    Result<ResolvedCommand> r = resolve_command({std::string(word), "x"});
    ASSERT_TRUE(r.ok()) << word;
    EXPECT_EQ(r.value().command, word);
    EXPECT_EQ(r.value().arguments, Args{"x"});
  }
}

}  // namespace
}  // namespace vtm
