#include "responder.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/vocabulary.h"
#include "default_responses.h"
#include "json/parse.h"
#include "json/write.h"

namespace vtm::mock {
namespace {

JsonValue parsed(const std::string& text) {
  auto value = parse_json(text);
  EXPECT_TRUE(value.ok()) << text;
  return value.ok() ? std::move(value).value() : JsonValue();
}

std::string request_text(std::string_view command, std::vector<std::string> arguments,
                         JsonValue request_id = "7-42") {
  JsonArray args;
  for (auto& argument : arguments) args.emplace_back(std::move(argument));
  JsonObject request;
  request.insert("arguments", std::move(args));
  request.insert("command", std::string(command));
  request.insert("protocolVersion", JsonValue::from_u64(1));
  request.insert("requestId", std::move(request_id));
  return to_compact_text(request);
}

class PayloadOfSize : public testing::TestWithParam<std::uint64_t> {};

TEST_P(PayloadOfSize, IsExactlyThatLongAndValidJson) {
  const std::string payload = payload_of_size(GetParam());
  EXPECT_EQ(payload.size(), GetParam());
  EXPECT_TRUE(parse_json(payload).ok()) << payload.substr(0, 16);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PayloadOfSize,
                         testing::Values(1u, 2u, 3u, 16u, 65'536u, 4'194'305u));

TEST(PayloadOfSizeText, SmallestForms) {
  EXPECT_EQ(payload_of_size(1), "1");
  EXPECT_EQ(payload_of_size(2), "\"\"");
  EXPECT_EQ(payload_of_size(5), "\"aaa\"");
}

class BuiltinAnswer : public testing::TestWithParam<std::string_view> {};

TEST_P(BuiltinAnswer, SucceedsWithDataAndTheRequestId) {
  const JsonValue answer =
      parsed(Responder::builtin().answer(request_text(GetParam(), {"list", "--x", "3"})));
  const JsonValue* success = find_member(answer, "success");
  ASSERT_NE(success, nullptr);
  EXPECT_EQ(*success, JsonValue(true));
  const JsonValue* id = find_member(answer, "requestId");
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(*id, JsonValue("7-42"));
  const JsonValue* data = find_member(answer, "data");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->kind(), JsonValue::Kind::Object);
  const JsonValue* log = find_member(answer, "debugLog");
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->kind(), JsonValue::Kind::Array);
}

INSTANTIATE_TEST_SUITE_P(EveryCommandWord, BuiltinAnswer, testing::ValuesIn(COMMAND_WORDS));

// The built-in answers are looked up by word: a repeated word would shadow its twin's answer.
TEST(BuiltinAnswerData, CommandWordsAreDistinct) {
  const auto& words = COMMAND_WORDS;
  for (std::size_t i = 0; i < words.size(); ++i) {
    for (std::size_t j = i + 1; j < words.size(); ++j) EXPECT_NE(words[i], words[j]);
  }
}

struct DataCase {
  std::string_view command;
  std::vector<std::string> arguments;
  std::string data;  // compact text of the expected data member, or a member path check below
};

class BuiltinData : public testing::TestWithParam<DataCase> {};

TEST_P(BuiltinData, FollowsTheArguments) {
  const JsonValue answer =
      parsed(Responder::builtin().answer(request_text(GetParam().command, GetParam().arguments)));
  const JsonValue* data = find_member(answer, "data");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(to_compact_text(*data), GetParam().data);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BuiltinData,
    testing::Values(
        DataCase{"click",
                 {"--x", "120", "--y", "48"},
                 R"({"button":"left","clicked":true,"element":null,"x":120,"y":48})"},
        DataCase{"click",
                 {"--x=-5", "--y", "top", "--button", "right"},
                 R"({"button":"right","clicked":true,"element":null,"x":-5,"y":"top"})"},
        DataCase{"type", {"héllo", "world"}, R"({"characters":11,"typed":"héllo world"})"},
        DataCase{
            "bridge",
            {"status"},
            R"({"connected":true,"host":"mock-host","protocolVersion":1,"subcommand":"status"})"},
        DataCase{"clipboard", {"set", "--text", "abc"}, R"({"set":true,"text":"abc"})"}));

TEST(BuiltinAnswerData, WindowListAndScreenImage) {
  const JsonValue windows = parsed(Responder::builtin().answer(request_text("window", {"list"})));
  const JsonValue* list = find_member(*find_member(windows, "data"), "windows");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->kind(), JsonValue::Kind::Array);
  EXPECT_FALSE(list->as_array().empty());

  const JsonValue screen = parsed(Responder::builtin().answer(request_text("screen", {})));
  const JsonValue* image = find_member(*find_member(screen, "data"), "base64");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(*image, JsonValue(std::string(TINY_PNG_BASE64)));
}

struct RefusalCase {
  std::string request;
  std::string code;
  std::string request_id;  // compact text
};

class Refusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, IsAFailureEnvelope) {
  const JsonValue answer = parsed(Responder::builtin().answer(GetParam().request));
  EXPECT_EQ(*find_member(answer, "success"), JsonValue(false));
  EXPECT_TRUE(find_member(answer, "data")->is_null());
  const JsonValue* error = find_member(answer, "error");
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(*find_member(*error, "code"), JsonValue(GetParam().code));
  EXPECT_EQ(find_member(*error, "message")->kind(), JsonValue::Kind::String);
  EXPECT_EQ(to_compact_text(*find_member(answer, "requestId")), GetParam().request_id);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Refusal,
    testing::Values(RefusalCase{request_text("frobnicate", {}), "UNKNOWN_COMMAND", "\"7-42\""},
                    RefusalCase{request_text("Click", {}), "UNKNOWN_COMMAND", "\"7-42\""},
                    RefusalCase{request_text("nope", {}, JsonValue::from_u64(9)), "UNKNOWN_COMMAND",
                                "9"},
                    RefusalCase{"not json", "BAD_REQUEST", "null"},
                    RefusalCase{"", "BAD_REQUEST", "null"},
                    RefusalCase{"[1,2]", "BAD_REQUEST", "null"},
                    RefusalCase{R"({"requestId":"r"})", "BAD_REQUEST", "\"r\""},
                    RefusalCase{R"({"command":"click","arguments":[1]})", "BAD_REQUEST", "null"}));

TEST(Responses, CannedAnswerWinsAndMissingWordsFallBack) {
  auto responder = Responder::from_responses_text(
      R"({"click": {"success": false, "custom": 1}, "app": [1, 2]})", "r.json");
  ASSERT_TRUE(responder.ok()) << responder.error();
  EXPECT_EQ(responder.value().answer(request_text("click", {})), R"({"custom":1,"success":false})");
  EXPECT_EQ(responder.value().answer(request_text("app", {})), "[1,2]");
  EXPECT_EQ(responder.value().answer(request_text("window", {"list"})),
            Responder::builtin().answer(request_text("window", {"list"})));
}

TEST(Responses, MistakesAreRefusedWithTheirPlace) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[1]", "r.json: the file must hold one JSON object"},
      {"{", "r.json: EOF while parsing an object at line 1 column 1"},
      {R"({"clik": {}})", R"(r.json: unknown command word "clik")"},
      {"{\"app\": 1,\n \"app\": 2}", R"(r.json: repeated member "app" at line 2 column 2)"},
  };
  for (const auto& [text, message] : cases) {
    auto responder = Responder::from_responses_text(text, "r.json");
    ASSERT_FALSE(responder.ok()) << text;
    EXPECT_EQ(responder.error(), message);
  }
}

TEST(Echo, WrapsTheParsedRequest) {
  const std::string request = request_text("click", {"--x", "1"});
  EXPECT_EQ(Responder::echo().answer(request),
            R"({"data":{"request":)" + request + R"(},"requestId":"7-42","success":true})");
  EXPECT_EQ(Responder::echo().answer(std::nullopt),
            R"({"data":{"request":null},"requestId":null,"success":true})");
}

TEST(Fixed, SameBytesWhateverTheRequest) {
  const Responder fixed = Responder::fixed("{\"a\"");
  EXPECT_EQ(fixed.answer(request_text("click", {})), "{\"a\"");
  EXPECT_EQ(fixed.answer(std::string_view("junk")), "{\"a\"");
  EXPECT_EQ(fixed.answer(std::nullopt), "{\"a\"");
}

}  // namespace
}  // namespace vtm::mock
