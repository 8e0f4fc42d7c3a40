#include "script_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base64.h"
#include "host_files.h"
#include "session.h"

namespace vtm::mock {
namespace {

TEST(ScriptJson, MistakesTheParserLetsPassOrWordsPoorlyAreNamed) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "f: the file is empty"},
      {" \n\t", "f: the file is empty"},
      {"\xEF\xBB\xBF{}", "f: starts with a byte-order mark; save it as UTF-8 without one"},
      {R"({"stubs": [], "stubs": []})", R"(f: repeated member "stubs" at line 1 column 15)"},
      // Escapes are resolved before keys are compared; each object has its own keys.
      {R"({"a": {"b": 1}, "b": [{"c": 1}, {"c": 2, "\u0063": 3}]})",
       R"(f: repeated member "c" at line 1 column 42)"},
      {R"({"a": "\ud800"})",
       "f: lone surrogate escape (a \\uD800-\\uDBFF escape needs a \\uDC00-\\uDFFF one right "
       "after it) at line 1 column 14"},
      {R"({"a": "\ud800\u0041"})",
       "f: lone surrogate escape (a \\uD800-\\uDBFF escape needs a \\uDC00-\\uDFFF one right "
       "after it) at line 1 column 19"},
  };
  for (const auto& [text, message] : cases) {
    auto parsed = parse_script_json(text, "f");
    ASSERT_FALSE(parsed.ok()) << text;
    EXPECT_EQ(parsed.error(), message) << text;
  }
  // Keys that only look alike, or sit in strings, are no repetition.
  EXPECT_TRUE(parse_script_json(R"({"a": "{\"a\":1, \"a\":2}", "A": [{"a": 1}, {"a": 2}]})", "f"));
}

TEST(Base64, RoundTripsAnyBytesAndRefusesOtherSpellings) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {std::string("caf\xE9\x00\xFF", 6), "Y2Fm6QD/"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(to_base64(bytes), text);
    EXPECT_EQ(from_base64(text), bytes) << text;
  }
  for (const char* bad : {"Zg=", "Zh==", "Z===", "Zm9v=", "Zm-v", "Zg==Zg=="}) {
    EXPECT_EQ(from_base64(bad), std::nullopt) << bad;
  }
}

TEST(JournalTime, IsUtcRfc3339WithMilliseconds) {
  const std::vector<std::pair<std::uint64_t, std::string>> cases = {
      {0, "1970-01-01T00:00:00.000Z"},
      {951'782'400'000, "2000-02-29T00:00:00.000Z"},
      {1'796'736'603'042, "2026-12-08T13:30:03.042Z"},
      {4'107'542'399'999, "2100-02-28T23:59:59.999Z"},
  };
  for (const auto& [ms, text] : cases) EXPECT_EQ(rfc3339_utc_milliseconds(ms), text);
}

}  // namespace
}  // namespace vtm::mock
