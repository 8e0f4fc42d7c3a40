#include <gtest/gtest.h>

#include "bridge/request.h"
#include "json/parse.h"
#include "platform/platform.h"

namespace vtm {
namespace {

TEST(RequestId, Form) {
  const platform::UInt128 ten19 = static_cast<platform::UInt128>(10'000'000'000'000'000'000u);
  EXPECT_EQ(format_request_id(4242, 1796506200123456700u), "4242-1796506200123456700");
  EXPECT_EQ(format_request_id(0, 0), "0-0");
  EXPECT_EQ(format_request_id(4294967295u, ten19 * 10), "4294967295-100000000000000000000");
}

TEST(ControlRequest, WorkedExampleBytes) {
  JsonValue request = build_control_request("click", {"--x", "120", "--y", "48"});
  // Only the request id depends on the run; put the example's in its place.
  request.as_object().insert("requestId", "4242-1796506200123456700");
  const std::string payload = encode_control_request(request);
  EXPECT_EQ(
      payload,
      R"({"arguments":["--x","120","--y","48"],"command":"click","protocolVersion":1,"requestId":"4242-1796506200123456700"})");
}

TEST(ControlRequest, ArgumentsKeptAndEscaped) {
  const std::vector<std::string> args = {"", "a", "a", "q\"\\/\x01\n", "\xC3\xA9"};
  const JsonValue request = build_control_request("type", args);
  const std::string payload = encode_control_request(request);
  EXPECT_NE(payload.find(R"("arguments":["","a","a","q\"\\/\u0001\n","é"])"), std::string::npos)
      << payload;
  EXPECT_EQ(encode_control_request(build_control_request("x", {})).rfind(R"({"arguments":[],)", 0),
            0u);
  Result<JsonValue> back = parse_json(payload);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.value(), request);
}

TEST(ControlRequest, LiveIdHasPidAndNanoseconds) {
  const JsonValue request = build_control_request("click", {});
  const JsonValue* id = find_member(request, "requestId");
  ASSERT_NE(id, nullptr);
  const std::string& text = id->as_string();
  const auto dash = text.find('-');
  ASSERT_NE(dash, std::string::npos);
  EXPECT_EQ(text.substr(0, dash), std::to_string(platform::process_id()));
  EXPECT_EQ(text.size() - dash - 1, 19u) << text;  // present-day nanosecond clock
}

}  // namespace
}  // namespace vtm
