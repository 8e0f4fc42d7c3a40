#include "scenario.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "json/write.h"
#include "session.h"

namespace vtm::mock {
namespace {

// Every rule of matching, order, times and state at work on one scenario.
constexpr std::string_view SCENARIO = R"({"stubs": [
  {"name": "busy once", "match": {"command": "click", "arguments": ["--x", "1"]}, "times": 1},
  {"name": "click", "match": {"command": "click"}, "state": {"moveTo": "clicked"}},
  {"match": {"command": "window", "argumentsStartWith": ["list"]}, "state": {"requires": "clicked"}},
  {"match": {"command": "menu", "argumentsContain": ["--title", "--app"]}, "times": 2},
  {"name": "reset", "match": {"command": "clean"}, "state": {"requires": "clicked", "moveTo": "Started"}},
  {"name": "anything", "match": {}, "state": {"requires": "nowhere"}},
  {"name": "drag", "match": {"command": "drag", "options": {"--x": "120", "--fast": null}}}
]})";

struct Step {
  std::string command;
  std::vector<std::string> arguments;
  std::string stub;  // compact label of the stub that takes it, "null" for none
  std::string state_after;
};

TEST(ScenarioRules, TakeTheFirstAvailableMatchInFileOrder) {
  auto stubs = parse_scenario(SCENARIO, "s.json");
  ASSERT_TRUE(stubs.ok()) << stubs.error();
  ScenarioPlayer player(std::move(stubs).value());
  const std::vector<Step> steps = {
      {"window", {"list"}, "null", "Started"},                   // state not reached yet
      {"click", {"--x", "1"}, R"("busy once")", "Started"},      // whole argument list
      {"click", {"--x", "1"}, R"("click")", "clicked"},          // times used up: next stub
      {"click", {"--x"}, R"("click")", "clicked"},               // not the whole list
      {"window", {"list", "--app", "x"}, "2", "clicked"},        // prefix, unnamed: its index
      {"window", {"focus", "list"}, "null", "clicked"},          // not a prefix
      {"menu", {"--app", "a", "--title", "t"}, "3", "clicked"},  // each present, any order
      {"menu", {"--title", "t"}, "null", "clicked"},             // one missing
      {"menu", {"--title", "--app"}, "3", "clicked"},            // second of two times
      {"menu", {"--title", "--app"}, "null", "clicked"},         // used up
      {"Click", {}, "null", "clicked"},                          // command is exact
      {"clean", {}, R"("reset")", "Started"},                    // moves back
      {"window", {"list"}, "null", "Started"},
      {"clean", {}, "null", "Started"},                                         // requires clicked
      {"drag", {"--fast", "--y", "48", "--x", "120"}, R"("drag")", "Started"},  // any order
      {"drag", {"--x", "5", "--y", "120", "--fast"}, "null", "Started"},        // 120 not after --x
      {"drag", {"--x", "120", "--fast", "1"}, R"("drag")", "Started"},  // null: only present
      {"drag", {"--x", "120"}, "null", "Started"},                      // --fast missing
      {"drag", {"--x"}, "null", "Started"},                             // no value at the end
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Choice choice = player.choose(steps[i].command, steps[i].arguments);
    EXPECT_EQ(choice.stub ? to_compact_text(choice.stub->label) : "null", steps[i].stub)
        << "step " << i;
    EXPECT_EQ(choice.state_after, steps[i].state_after) << "step " << i;
  }
  EXPECT_EQ(player.unused_stubs(), std::vector<std::string>{});
}

TEST(ScenarioRules, NoReadStubsAnswerBeforeReadingAndUnusedTimesAreListed) {
  auto stubs = parse_scenario(
      R"({"stubs": [{"fault": {"noRead": true}, "times": 1, "state": {"moveTo": "x"}},
                    {"name": "later", "match": {"command": "app"}, "times": 3}]})",
      "s.json");
  ASSERT_TRUE(stubs.ok()) << stubs.error();
  ScenarioPlayer player(std::move(stubs).value());
  EXPECT_EQ(player.choose("app", {}).stub->label, JsonValue(R"(later)"));
  const Choice unread = player.choose_unread();
  ASSERT_NE(unread.stub, nullptr);
  EXPECT_EQ(unread.state_before, "Started");
  EXPECT_EQ(unread.state_after, "x");
  EXPECT_EQ(player.choose_unread().stub, nullptr);
  EXPECT_EQ(player.unused_stubs(), std::vector<std::string>{R"(stub "later": used 1 of 3 times)"});
}

TEST(ScenarioRules, ExpectationsCountWithoutLimiting) {
  auto stubs = parse_scenario(
      R"({"stubs": [{"name": "twice", "match": {"command": "click"}, "expect": {"atLeast": 2}},
                    {"name": "once", "match": {"command": "app"}, "expect": {"atMost": 1}},
                    {"name": "ok", "match": {"command": "menu"}, "expect": {"atLeast": 1, "atMost": 1}}]})",
      "s.json");
  ASSERT_TRUE(stubs.ok()) << stubs.error();
  ScenarioPlayer player(std::move(stubs).value());
  for (const char* command : {"click", "app", "app", "app", "menu"}) {
    EXPECT_NE(player.choose(command, {}).stub, nullptr) << command;
  }
  EXPECT_EQ(player.unmet_expectations(),
            (std::vector<std::string>{R"(stub "twice": expected at least 2 calls, got 1)",
                                      R"(stub "once": expected at most 1 calls, got 3)"}));
}

// The form a capture grows in: a head line, one stub per line, and a last line the host may
// have been stopped in the middle of.
TEST(ScenarioLineForm, LoadsEveryFinishedLine) {
  const std::string head = "{\"stubs\":[{\"name\":\"first\",\"rawBase64\":\"Y2Fm6Q==\"}]}\n";
  const std::string line = "{\"match\":{\"command\":\"app\"},\"raw\":\"x\"}\n";
  struct Case {
    std::string text;
    std::size_t stubs;
    bool note;
  };
  for (const Case& c : {Case{head, 1, false}, Case{head + line + line, 3, false},
                        Case{head + line + "\n" + line.substr(0, 9), 2, true},
                        Case{head + line.substr(0, line.size() - 1), 2, false}}) {
    auto stubs = parse_scenario(c.text, "c.json");
    ASSERT_TRUE(stubs.ok()) << stubs.error();
    EXPECT_EQ(stubs.value().size(), c.stubs) << c.text;
    EXPECT_EQ(stubs.value()[0].raw, std::string("caf\xE9")) << c.text;
    EXPECT_EQ(cut_last_line(c.text, "c.json").has_value(), c.note) << c.text;
  }
  // A bad line that was finished is a mistake, not a cut.
  auto bad = parse_scenario(head + "{\"match\": }\n", "c.json");
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error(), "c.json: line 2: expected value at line 1 column 11");
}

struct BadScenario {
  std::string text;
  std::string message;
};

class BadScenarios : public testing::TestWithParam<BadScenario> {};

TEST_P(BadScenarios, AreRefusedWithTheFileAndThePlace) {
  auto stubs = parse_scenario(GetParam().text, "s.json");
  ASSERT_FALSE(stubs.ok());
  EXPECT_EQ(stubs.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadScenarios,
    testing::Values(
        BadScenario{"{\"stubs\": [\n  {\"match\": }]}",
                    "s.json: expected value at line 2 column 13"},
        BadScenario{R"({"stub": []})", R"(s.json: the file: unknown member "stub")"},
        BadScenario{R"({"stubs": {}})", "s.json: stubs: must be an array of stubs"},
        BadScenario{R"({"stubs": [{}, {"tmes": 1}]})",
                    R"(s.json: stubs[1]: unknown member "tmes")"},
        BadScenario{R"({"stubs": [{"match": {"comand": "a"}}]})",
                    R"(s.json: stubs[0].match: unknown member "comand")"},
        BadScenario{R"({"stubs": [{"match": {"arguments": ["a", 1]}}]})",
                    "s.json: stubs[0].match.arguments: must be an array of strings"},
        BadScenario{R"({"stubs": [{"times": 0}]})",
                    "s.json: stubs[0].times: must be a whole number from 1 to 4294967295"},
        BadScenario{R"({"stubs": [{"state": {"moveTo": 1}}]})",
                    "s.json: stubs[0].state.moveTo: must be a string"},
        BadScenario{R"({"stubs": [{"response": {}, "raw": "x"}]})",
                    "s.json: stubs[0]: takes one of response, raw and rawBase64"},
        BadScenario{R"({"stubs": [{"rawBase64": "Zg="}]})",
                    "s.json: stubs[0].rawBase64: must be base64 (A-Z a-z 0-9 + /, padded with =)"},
        BadScenario{R"({"stubs": [{"match": {"command": "clik"}}]})",
                    R"(s.json: stubs[0].match.command: unknown command word "clik")"},
        BadScenario{R"({"stubs": [{"match": {"options": {"--x": 1}}}]})",
                    R"(s.json: stubs[0].match.options."--x": must be a string, or null for an )"
                    "option without a value"},
        BadScenario{R"({"stubs": [{"expect": {"atLeast": 2, "atMost": 1}}]})",
                    "s.json: stubs[0].expect: atLeast is above atMost"},
        BadScenario{R"({"stubs": [{"expect": {"atleast": 2}}]})",
                    R"(s.json: stubs[0].expect: unknown member "atleast")"},
        BadScenario{R"({"stubs": [{"times": 1, "times": 2}]})",
                    R"(s.json: repeated member "times" at line 1 column 25)"},
        BadScenario{R"({"stubs": [{"fault": {"hang": 1}}]})",
                    "s.json: stubs[0].fault.hang: must be true or false"},
        BadScenario{R"({"stubs": [{"fault": {"prefix": "0000000g"}}]})",
                    "s.json: stubs[0].fault.prefix: must be exactly 8 hex digits"},
        BadScenario{R"({"stubs": [{"match": {}, "fault": {"noRead": true}}]})",
                    "s.json: stubs[0]: a noRead stub answers before any request is read: it has "
                    "no match"}));

TEST(StubAnswer, ResponseGetsTheRequestIdUnlessItHasOne) {
  auto stubs = parse_scenario(R"({"stubs": [{"response": {"success": true, "b": [1, 2]}},
      {"response": {"requestId": "own"}}, {"response": [1]}, {"raw": " {x"}, {}]})",
                              "s.json");
  ASSERT_TRUE(stubs.ok()) << stubs.error();
  const Request request{"7-1", "app", {"list"}};
  const std::string payload = R"({"arguments":["list"],"command":"app","requestId":"7-1"})";
  const Responder builtin = Responder::builtin();
  const std::vector<std::string> answers = {R"({"b":[1,2],"requestId":"7-1","success":true})",
                                            R"({"requestId":"own"})", "[1]", " {x",
                                            builtin.answer(std::string_view(payload))};
  for (std::size_t i = 0; i < answers.size(); ++i) {
    EXPECT_EQ(stub_answer(stubs.value()[i], request, builtin, payload), answers[i]) << i;
  }
}

// Callers at once: every choice sees the uses and the state of the ones before it, so `times`
// is never overrun and a toggle never fires twice from one state.
TEST(ScenarioPlayerThreads, TimesAndStateHoldUnderParallelCallers) {
  auto stubs = parse_scenario(R"({"stubs": [
      {"name": "limited", "match": {"command": "click"}, "times": 37},
      {"name": "rest", "match": {"command": "click"}},
      {"name": "on", "match": {"command": "press"}, "state": {"requires": "Started", "moveTo": "on"}},
      {"name": "off", "match": {"command": "press"}, "state": {"requires": "on", "moveTo": "Started"}}
  ]})",
                              "s.json");
  ASSERT_TRUE(stubs.ok()) << stubs.error();
  ScenarioPlayer player(std::move(stubs).value());
  constexpr int THREADS = 8;
  constexpr int CALLS = 250;
  std::vector<std::map<std::string, int>> chosen(THREADS);
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < CALLS; ++i) {
        const Choice choice = player.choose(i % 2 == 0 ? "click" : "press", {});
        const std::string label = choice.stub ? choice.stub->label.as_string() : "none";
        ++chosen[t][label + ":" + choice.state_before + ">" + choice.state_after];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::map<std::string, int> total;
  for (const auto& counts : chosen) {
    for (const auto& [key, count] : counts) total[key] += count;
  }
  // Clicks leave the state as they find it, so they are tallied by stub alone.
  int limited = 0, rest = 0;
  for (const auto& [key, count] : total) {
    if (key.starts_with("limited:")) limited += count;
    if (key.starts_with("rest:")) rest += count;
  }
  constexpr int HALF = THREADS * CALLS / 2;
  EXPECT_EQ(limited, 37);
  EXPECT_EQ(rest, HALF - 37);
  EXPECT_EQ(total["on:Started>on"], HALF / 2);
  EXPECT_EQ(total["off:on>Started"], HALF / 2);
  EXPECT_EQ(total["none:Started>Started"] + total["none:on>on"], 0);
}

}  // namespace
}  // namespace vtm::mock
