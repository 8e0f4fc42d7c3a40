#include <gtest/gtest.h>

#include "json/parse.h"
#include "json/write.h"
#include "report/failure.h"
#include "report/response.h"

namespace vtm {
namespace {

struct ClassCase {
  std::string message;
  std::string_view code;
  bool retryable;
};

TEST(ClassifyFailure, RulesInOrder) {
  const std::vector<ClassCase> cases = {
      {"", "CLIENT_FAILURE", false},
      {"VANTELMIRE_BRIDGE_SOCKET is not configured", "BRIDGE_SOCKET_NOT_CONFIGURED", false},
      {"VANTELMIRE_BRIDGE_SOCKET: No such file", "BRIDGE_SOCKET_NOT_CONFIGURED", false},
      {"vantelmire_bridge_socket", "CLIENT_FAILURE", false},
      {"No such file or directory (os error 2)", "CONTROL_HOST_UNAVAILABLE", true},
      {"No such file", "CONTROL_HOST_UNAVAILABLE", true},
      {"no such file or directory", "CLIENT_FAILURE", false},
      {"Connection refused (os error 111)", "CONTROL_HOST_UNAVAILABLE", true},
      {"Connection refused and timed out", "CONTROL_HOST_UNAVAILABLE", true},
      {"Connection Refused", "CLIENT_FAILURE", false},
      {"Connection timed out (os error 110)", "CONTROL_TRANSPORT_TIMEOUT", true},
      {"pipe read Timed Out", "CONTROL_TRANSPORT_TIMEOUT", true},
      {"TIMED OUT", "CONTROL_TRANSPORT_TIMEOUT", true},
      {"timed  out", "CLIENT_FAILURE", false},
      {"T\xC4\xB0MED OUT", "CLIENT_FAILURE", false},  // dotted capital I is not ASCII
      {"unknown command: xtimed outx", "CONTROL_TRANSPORT_TIMEOUT", true},
      {"control request exceeds the protocol frame limit", "CLIENT_FAILURE", false},
      {"control response frame size is invalid", "CLIENT_FAILURE", false},
      {"failed to write whole buffer", "CLIENT_FAILURE", false},
      {"failed to fill whole buffer", "CLIENT_FAILURE", false},
      {"EOF while parsing a value at line 1 column 0", "CLIENT_FAILURE", false},
      {"list requires apps, windows, or screens", "CLIENT_FAILURE", false},
  };
  for (const ClassCase& c : cases) {
    const FailureClass f = classify_failure(c.message);
    EXPECT_EQ(f.code, c.code) << c.message;
    EXPECT_EQ(f.retryable, c.retryable) << c.message;
  }
}

TEST(ClassifyFailure, FixesMatchCodes) {
  EXPECT_EQ(classify_failure("VANTELMIRE_BRIDGE_SOCKET").recommended_fix.size(), 145u);
  EXPECT_EQ(classify_failure("No such file").recommended_fix.size(), 102u);
  EXPECT_EQ(classify_failure("timed out").recommended_fix.size(), 129u);
  EXPECT_EQ(classify_failure("x").recommended_fix.size(), 132u);
}

TEST(ErrorEnvelope, ExactCompactText) {
  EXPECT_EQ(
      to_compact_text(build_error_envelope("control response frame size is invalid")),
      R"({"data":null,"debugLog":[],"error":{"code":"CLIENT_FAILURE","details":null,"message":"control response frame size is invalid","recommendedFix":"Run `vantelmirectl bridge status --json`, preserve this error message, and do not retry a mutation without inspecting current state.","retryable":false},"requestId":"client","success":false})");
  EXPECT_EQ(
      to_compact_text(build_error_envelope("pipe read Timed Out")),
      R"({"data":null,"debugLog":[],"error":{"code":"CONTROL_TRANSPORT_TIMEOUT","details":null,"message":"pipe read Timed Out","recommendedFix":"Check `vantelmirectl bridge status --json`; inspect current UI state before retrying because a mutation may have been dispatched.","retryable":true},"requestId":"client","success":false})");
}

TEST(ErrorEnvelope, MessageEscapedOnOneLine) {
  const std::string text = to_compact_text(build_error_envelope("a\"b\\c\nd\x01"));
  EXPECT_NE(text.find(R"("message":"a\"b\\c\nd\u0001")"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), std::string::npos);
}

struct OutcomeCase {
  std::string payload;
  bool success;
};

TEST(ResponseOutcome, OnlyTopLevelBooleanTrue) {
  const std::vector<OutcomeCase> cases = {
      {R"({"success":true})", true},
      {R"({"success":true,"error":{"code":"X"}})", true},
      {R"({"success":false})", false},
      {R"({"success":"true"})", false},
      {R"({"success" : true})", true},
      {R"({"b":0,"success":true,"a":1})", true},
      {R"({"success":1})", false},
      {R"({"success":null})", false},
      {R"({"success":{}})", false},
      {R"({"Success":true})", false},
      {R"({"data":{"success":true}})", false},
      {R"({"success":true,"success":false})", false},
      {R"({"success":false,"success":true})", true},
      {R"([{"success":true}])", false},
      {R"("success")", false},
      {"1", false},
      {"null", false},
      {"{}", false},
  };
  for (const OutcomeCase& c : cases) {
    Result<JsonValue> v = parse_json(c.payload);
    ASSERT_TRUE(v.ok()) << c.payload;
    EXPECT_EQ(response_succeeded(v.value()), c.success) << c.payload;
    std::string text(c.payload);
    Result<JsonDocument> document = parse_document(text);
    ASSERT_TRUE(document.ok()) << c.payload;
    EXPECT_EQ(response_succeeded(document.value()), c.success) << c.payload;
  }
}

}  // namespace
}  // namespace vtm
