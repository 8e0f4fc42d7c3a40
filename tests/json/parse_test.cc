#include "json/parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "json/json_printing.h"
#include "json/number.h"
#include "json/write.h"

namespace vtm {
namespace {

using namespace std::string_literals;

struct ErrorCase {
  std::string input;
  std::string message;
};

// Joins pieces by plain appends (operator+ on temporaries trips a GCC 12 -Wrestrict false
// positive at -O3).
std::string cat(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (std::string_view p : pieces) out.append(p.data(), p.size());
  return out;
}

std::string describe(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      static constexpr char HEX_DIGITS[] = "0123456789abcdef";
      out += "\\x";
      out.push_back(HEX_DIGITS[c >> 4]);
      out.push_back(HEX_DIGITS[c & 0xF]);
    }
  }
  return out;
}

const ErrorCase ERROR_CASES[] = {
    // EOF while parsing a value: empty, whitespace only, after ":" or ",", inside a literal,
    // after "-", ".", an exponent marker or its sign.
    {"", "EOF while parsing a value at line 1 column 0"},
    {" ", "EOF while parsing a value at line 1 column 1"},
    {"\n\n  ", "EOF while parsing a value at line 3 column 2"},
    {" \t\r\n", "EOF while parsing a value at line 2 column 0"},
    {"[1,", "EOF while parsing a value at line 1 column 3"},
    {"[1, \n", "EOF while parsing a value at line 2 column 0"},
    {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
    {"{\"a\": ", "EOF while parsing a value at line 1 column 6"},
    {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
    {"t", "EOF while parsing a value at line 1 column 1"},
    {"tru", "EOF while parsing a value at line 1 column 3"},
    {"fals", "EOF while parsing a value at line 1 column 4"},
    {"[nul", "EOF while parsing a value at line 1 column 4"},
    {"-", "EOF while parsing a value at line 1 column 1"},
    {"[-", "EOF while parsing a value at line 1 column 2"},
    {"1.", "EOF while parsing a value at line 1 column 2"},
    {"1e", "EOF while parsing a value at line 1 column 2"},
    {"1E+", "EOF while parsing a value at line 1 column 3"},
    {"1.5e-", "EOF while parsing a value at line 1 column 5"},
    // EOF while parsing a list: after "[" or after an element.
    {"[", "EOF while parsing a list at line 1 column 1"},
    {"[ ", "EOF while parsing a list at line 1 column 2"},
    {"[1", "EOF while parsing a list at line 1 column 2"},
    {"[1\n", "EOF while parsing a list at line 2 column 0"},
    {"[[]", "EOF while parsing a list at line 1 column 3"},
    {"[\"a\"", "EOF while parsing a list at line 1 column 4"},
    // EOF while parsing an object: after "{", after a key, after a member's value.
    {"{", "EOF while parsing an object at line 1 column 1"},
    {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
    {"{\"a\"\n", "EOF while parsing an object at line 2 column 0"},
    {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
    {"{\"a\":{}", "EOF while parsing an object at line 1 column 7"},
    // EOF while parsing a string: inside the string or an escape, or where the second escape
    // of a surrogate pair must begin.
    {"\"", "EOF while parsing a string at line 1 column 1"},
    {"\"abc", "EOF while parsing a string at line 1 column 4"},
    {"\"ab\\", "EOF while parsing a string at line 1 column 4"},
    {"\"\\u", "EOF while parsing a string at line 1 column 3"},
    {"\"\\u12", "EOF while parsing a string at line 1 column 5"},
    {"\"\\u12\"", "EOF while parsing a string at line 1 column 6"},
    {"\"\\u004", "EOF while parsing a string at line 1 column 6"},
    {"\"\\ud800", "EOF while parsing a string at line 1 column 7"},
    {"\"\\ud800\\", "EOF while parsing a string at line 1 column 8"},
    {"\"\\ud800\\u12", "EOF while parsing a string at line 1 column 11"},
    {"{\"ab", "EOF while parsing a string at line 1 column 4"},
    {"\"\xc3", "EOF while parsing a string at line 1 column 2"},
    // expected `:`
    {"{\"a\" 1}", "expected `:` at line 1 column 6"},
    {"{\"a\",\"b\"}", "expected `:` at line 1 column 5"},
    {"{\"a\"\n}", "expected `:` at line 2 column 1"},
    // expected `,` or `]`
    {"[1 2]", "expected `,` or `]` at line 1 column 4"},
    {"[1}", "expected `,` or `]` at line 1 column 3"},
    {"[1:", "expected `,` or `]` at line 1 column 3"},
    {"[1\n2]", "expected `,` or `]` at line 2 column 1"},
    {"[[]\n\n\n", "EOF while parsing a list at line 4 column 0"},
    // expected `,` or `}`
    {"{\"a\":1 \"b\":2}", "expected `,` or `}` at line 1 column 8"},
    {"{\"a\":1]", "expected `,` or `}` at line 1 column 7"},
    {"{\"a\":1\n\n:", "expected `,` or `}` at line 3 column 1"},
    // expected ident
    {"trux", "expected ident at line 1 column 4"},
    {"nul1", "expected ident at line 1 column 4"},
    {"nULL", "expected ident at line 1 column 2"},
    {"falsy", "expected ident at line 1 column 5"},
    {"[tRue]", "expected ident at line 1 column 3"},
    {"t\n", "expected ident at line 2 column 0"},
    // expected value
    {"+1", "expected value at line 1 column 1"},
    {".5", "expected value at line 1 column 1"},
    {"True", "expected value at line 1 column 1"},
    {"[,1]", "expected value at line 1 column 2"},
    {"[,", "expected value at line 1 column 2"},
    {"[1,,2]", "expected value at line 1 column 4"},
    {"[]]", "trailing characters at line 1 column 3"},
    {"{\"a\":}", "expected value at line 1 column 6"},
    {"{\"a\":,}", "expected value at line 1 column 6"},
    {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
    {"\v1", "expected value at line 1 column 1"},
    {"\f", "expected value at line 1 column 1"},
    {"'a'", "expected value at line 1 column 1"},
    {"\n\n]", "expected value at line 3 column 1"},
    {"\xA0", "expected value at line 1 column 1"},
    {std::string("\0", 1), "expected value at line 1 column 1"},
    // invalid escape: just past the byte after the backslash; bad \u: just past its four bytes
    {"\"\\x\"", "invalid escape at line 1 column 3"},
    {"\"\\U0041\"", "invalid escape at line 1 column 3"},
    {"\"\\'\"", "invalid escape at line 1 column 3"},
    {"\"ab\\\n\"", "invalid escape at line 2 column 0"},
    {"\"\\u12G4\"", "invalid escape at line 1 column 7"},
    {"\"\\u123\"", "invalid escape at line 1 column 7"},
    {"\"\\u12\"x", "invalid escape at line 1 column 7"},
    {"\"\\u-123\"", "invalid escape at line 1 column 7"},
    {"\"\\ud800\\u12x4\"", "invalid escape at line 1 column 13"},
    {"\"\\ud800\\u12\"\"", "invalid escape at line 1 column 13"},
    // invalid number
    {"01", "invalid number at line 1 column 2"},
    {"00", "invalid number at line 1 column 2"},
    {"-01", "invalid number at line 1 column 3"},
    {"-a", "invalid number at line 1 column 2"},
    {"- 1", "invalid number at line 1 column 2"},
    {"[-]", "invalid number at line 1 column 3"},
    {"-\n", "invalid number at line 2 column 0"},
    {"1.e5", "invalid number at line 1 column 3"},
    {"1.x", "invalid number at line 1 column 3"},
    {"[1.]", "invalid number at line 1 column 4"},
    {"1ex", "invalid number at line 1 column 3"},
    {"1e+x", "invalid number at line 1 column 4"},
    {"1e-+1", "invalid number at line 1 column 4"},
    {"1.5E]", "invalid number at line 1 column 5"},
    {"-.5", "invalid number at line 1 column 2"},
    // number out of range: just past the number's last digit; for a 32-bit exponent
    // overflow, just past the exponent digit at which it occurs
    {"1e400", "number out of range at line 1 column 5"},
    {"-1e400", "number out of range at line 1 column 6"},
    {"[1e400]", "number out of range at line 1 column 6"},
    {"1.8e308", "number out of range at line 1 column 7"},
    {"1e309", "number out of range at line 1 column 5"},
    {"1.7976931348623158e308", "number out of range at line 1 column 22"},
    {"10e308", "number out of range at line 1 column 6"},
    {"1e2147483647", "number out of range at line 1 column 12"},
    {"1e2147483648", "number out of range at line 1 column 12"},
    {"1e99999999999", "number out of range at line 1 column 12"},
    {"[1e+99999999999999]", "number out of range at line 1 column 14"},
    {"0.1e99999999999", "number out of range at line 1 column 14"},
    {std::string("1") + std::string(400, '0'), "number out of range at line 1 column 401"},
    {std::string("1") + std::string(400, '0') + ".5", "number out of range at line 1 column 403"},
    // invalid unicode code point: just past the closing quotation mark
    {"\"\xff\"", "invalid unicode code point at line 1 column 3"},
    {"\"a\xc3\"", "invalid unicode code point at line 1 column 4"},
    {"{\"\xc0\x80\":1}", "invalid unicode code point at line 1 column 5"},
    {"\"\xed\xa0\x80\"", "invalid unicode code point at line 1 column 5"},
    {"\"\xf4\x90\x80\x80\"", "invalid unicode code point at line 1 column 6"},
    {"\"\\u00e9\xa9\"", "invalid unicode code point at line 1 column 9"},
    {"\"\xc3\\u00a9\"", "invalid unicode code point at line 1 column 9"},
    {"\"\\n\xe2\x82\\n\"", "invalid unicode code point at line 1 column 8"},
    {"[\"ok\",\n \"\x80\"]", "invalid unicode code point at line 2 column 4"},
    // control character: just past that byte
    {"\"a\nb\"",
     "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
    {"\"\x01\"",
     "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
    {"\"\t\"",
     "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
    {"\"\\n\x1f\"",
     "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 4"},
    {std::string("\"\0\"", 3),
     "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
    {"{\"k\x1b\":1}",
     "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 4"},
    {"\"\xff\x01\"",
     "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
    // key must be a string: after "{" or after ","
    {"{1:2}", "key must be a string at line 1 column 2"},
    {"{,}", "key must be a string at line 1 column 2"},
    {"{'a':1}", "key must be a string at line 1 column 2"},
    {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
    {"{\"a\":1, \n x}", "key must be a string at line 2 column 2"},
    {"{\n]", "key must be a string at line 2 column 1"},
    // lone leading surrogate: just past the four digits of the escape at fault
    {"\"\\udc00\"", "lone leading surrogate in hex escape at line 1 column 7"},
    {"\"\\uDFFF\"", "lone leading surrogate in hex escape at line 1 column 7"},
    {"\"\\ud800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
    {"\"\\ud800\\ud800\"", "lone leading surrogate in hex escape at line 1 column 13"},
    {"\"\\udbff\\ue000\"", "lone leading surrogate in hex escape at line 1 column 13"},
    // unexpected end of hex escape: just past the first byte that breaks the sequence
    {"\"\\ud800\"", "unexpected end of hex escape at line 1 column 8"},
    {"\"\\ud800x\"", "unexpected end of hex escape at line 1 column 8"},
    {"\"\\ud800\\n\"", "unexpected end of hex escape at line 1 column 9"},
    {"\"\\ud800\\U dc00\"", "unexpected end of hex escape at line 1 column 9"},
    {"\"\\ud800\n\"", "unexpected end of hex escape at line 2 column 0"},
    // trailing comma: just past the bracket
    {"[1,]", "trailing comma at line 1 column 4"},
    {"[1, \n ]", "trailing comma at line 2 column 2"},
    {"{\"a\":1,}", "trailing comma at line 1 column 8"},
    {"{\"a\":1 , }", "trailing comma at line 1 column 10"},
    {"[[],]", "trailing comma at line 1 column 5"},
    // trailing characters: just past that byte
    {"{\"a\":1}x", "trailing characters at line 1 column 8"},
    {"1 2", "trailing characters at line 1 column 3"},
    {"1x", "trailing characters at line 1 column 2"},
    {"nullx", "trailing characters at line 1 column 5"},
    {"\"a\"\"", "trailing characters at line 1 column 4"},
    {"[1]\n\n x", "trailing characters at line 3 column 2"},
    {"1.5.3", "trailing characters at line 1 column 4"},
    {"-0-", "trailing characters at line 1 column 3"},
    {"1e5e", "trailing characters at line 1 column 4"},
    {"{}\xEF\xBB\xBF", "trailing characters at line 1 column 3"},
    {std::string("0\0", 2), "trailing characters at line 1 column 2"},
    // recursion limit: just past the bracket
    {std::string(128, '['), "recursion limit exceeded at line 1 column 128"},
    {std::string(200, '['), "recursion limit exceeded at line 1 column 128"},
    {std::string(128, '{'), "key must be a string at line 1 column 2"},
};

enum class Road { Quick, Full };

// That the quick road agrees with the full one where it answers: kind, end, sign, value and
// exponent, or the error and its position; and, when given, which road answered (only the full
// one fills in the value itself).
void expect_same_roads(std::string_view input, std::optional<Road> road = std::nullopt) {
  using json_detail::NumberScan;
  if (input.empty() || (input[0] != '-' && !json_detail::is_digit(input[0]))) return;
  const char* const end = input.data() + input.size();
  const NumberScan quick = json_detail::scan_number(input.data(), end);
  if (road) {
    EXPECT_EQ(quick.valued, *road == Road::Full)
        << input << ": the " << (quick.valued ? "full" : "quick") << " road answered";
  }
  const NumberScan full = json_detail::scan_number_exactly(input.data(), end);
  EXPECT_EQ(quick.kind, full.kind) << input;
  EXPECT_EQ(quick.end, full.end) << input;
  EXPECT_EQ(quick.negative, full.negative) << input;
  if (full.kind == NumberScan::Kind::Error) {
    EXPECT_EQ(quick.error, full.error) << input;
  } else {
    EXPECT_EQ(json_detail::scanned_value(input.data(), quick), full.value) << input;
    EXPECT_EQ(quick.exponent, full.exponent) << input;
  }
}

TEST(ParseErrorTest, MessagesAndPositions) {
  for (const ErrorCase& c : ERROR_CASES) {
    const Result<JsonValue> r = parse_json(c.input);
    ASSERT_FALSE(r.ok()) << describe(c.input);
    EXPECT_EQ(r.error(), c.message) << describe(c.input);
    expect_same_roads(c.input);
  }
}

std::string nested_objects(int depth) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "{\"a\":";
  s += "1";
  for (int i = 0; i < depth; ++i) s += "}";
  return s;
}

std::string nested_arrays(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(ParseErrorTest, NestingLimit) {
  EXPECT_TRUE(parse_json(nested_arrays(127)).ok());
  EXPECT_TRUE(parse_json(nested_objects(127)).ok());
  EXPECT_EQ(parse_json(nested_arrays(128)).error(),
            "recursion limit exceeded at line 1 column 128");
  // The 128th "{" sits at offset 127 * 5.
  EXPECT_EQ(parse_json(nested_objects(128)).error(),
            "recursion limit exceeded at line 1 column 636");
  // Mixed, and closing brackets restore the counter.
  std::string mixed;
  for (int i = 0; i < 63; ++i) mixed += "[{\"k\":";
  mixed += "[]";
  for (int i = 0; i < 63; ++i) mixed += "}]";
  EXPECT_TRUE(parse_json(mixed).ok());
  const std::string twice =
      std::string("[") + nested_arrays(126) + std::string(",") + nested_arrays(126) + "]";
  EXPECT_TRUE(parse_json(twice).ok());
  const std::string over =
      std::string("[") + nested_arrays(126) + std::string(",") + nested_arrays(127) + "]";
  EXPECT_EQ(parse_json(over).error(), "recursion limit exceeded at line 1 column 381");
}

TEST(ParseErrorTest, PositionsOnLaterLines) {
  EXPECT_EQ(parse_json("{\n  \"a\": 1,\n  \"b\": tru\n}").error(),
            "expected ident at line 4 column 0");
  EXPECT_EQ(parse_json("[\r\n1,\r\n2\r\nx]").error(), "expected `,` or `]` at line 4 column 1");
  EXPECT_EQ(parse_json("\n\n\n\n\n\n\n\n\n\n\n[1,]").error(), "trailing comma at line 12 column 4");
}

TEST(ParseErrorTest, SpecialBytesAtEveryOffsetOfLongStrings) {
  // The scanner works in blocks; a fault must be found at every position of a block.
  for (std::size_t at = 0; at < 150; ++at) {
    const std::string run(at, 'a');
    const std::string tail(40, 'b');
    EXPECT_EQ(parse_json(cat({"\"", run, "\x01", tail, "\""})).error(),
              cat({"control character (\\u0000-\\u001F) found while parsing a string at line 1 "
                   "column ",
                   std::to_string(at + 2)}));
    EXPECT_EQ(parse_json(cat({"\"", run, "\xff", tail, "\""})).error(),
              cat({"invalid unicode code point at line 1 column ", std::to_string(at + 43)}));
    EXPECT_EQ(parse_json(cat({"\"", run})).error(),
              cat({"EOF while parsing a string at line 1 column ", std::to_string(at + 1)}));
    // A non-ASCII byte after the closing quotation mark is no part of the content.
    EXPECT_TRUE(parse_json(cat({"[\"", run, "\",\"\xc3\xa9\"]"})).ok());
  }
}

TEST(ParseErrorTest, WhiteSpaceRunsOfEveryLength) {
  // White space is skipped in blocks too: the first other byte is found at every position, and
  // a form feed or a vertical tab is not white space.
  for (std::size_t n = 0; n < 40; ++n) {
    std::string run;
    for (std::size_t i = 0; i < n; ++i) run += " \t\r "[i % 4];
    const std::string column = std::to_string(n + 2);
    EXPECT_EQ(parse_json("[" + run + "\f]").error(), "expected value at line 1 column " + column);
    EXPECT_EQ(parse_json("[" + run + "\v]").error(), "expected value at line 1 column " + column);
    EXPECT_TRUE(parse_json("[" + run + "1" + run + "]" + run).ok()) << n;
  }
}

// ---------------------------------------------------------------------------------------------

JsonValue parse_ok(std::string_view text) {
  Result<JsonValue> r = parse_json(text);
  EXPECT_TRUE(r.ok()) << text << ": " << (r.ok() ? "" : r.error());
  if (!r.ok()) return JsonValue();
  return std::move(r).value();
}

struct NumberCase {
  std::string input;
  std::string printed;
  Road road = Road::Full;
};

TEST(ParseNumberTest, PrintedForms) {
  const NumberCase cases[] = {
      {"-0", "-0.0"},
      {"0", "0", Road::Quick},
      {"-0.0", "-0.0"},
      {"-0e7", "-0.0"},
      {"0.0", "0.0"},
      {"1E2", "100.0"},
      {"1e2", "100.0"},
      {"1e+2", "100.0"},
      {"0.10", "0.1", Road::Quick},
      {"1e-400", "0.0"},
      {"-1e-400", "-0.0"},
      {"18446744073709551615", "18446744073709551615"},
      {"18446744073709551616", "1.8446744073709552e+19"},
      {"18446744073709551617", "1.8446744073709552e+19"},
      {"9223372036854775807", "9223372036854775807", Road::Quick},
      {"9223372036854775808", "9223372036854775808", Road::Quick},
      {"-9223372036854775807", "-9223372036854775807"},
      {"-9223372036854775808", "-9223372036854775808"},
      {"-9223372036854775809", "-9.223372036854776e+18"},
      {"-18446744073709551615", "-1.8446744073709552e+19"},
      {"-18446744073709551616", "-1.8446744073709552e+19"},
      {"-1", "-1", Road::Quick},
      {"1e15", "1000000000000000.0"},
      {"1e16", "1e+16"},
      {"1e-5", "0.00001"},
      {"1e-6", "1e-6"},
      {"0.001", "0.001", Road::Quick},
      {"0.25", "0.25", Road::Quick},
      {"123.45", "123.45", Road::Quick},
      {"2.5e-7", "2.5e-7"},
      {"1.5e300", "1.5e+300"},
      {"5e-324", "5e-324"},
      {"2e-324", "0.0"},
      {"1e-323", "1e-323"},
      {"2.2250738585072014e-308", "2.2250738585072014e-308"},
      {"1.7976931348623157e308", "1.7976931348623157e+308"},
      {"1e308", "1e+308"},
      {"1.0", "1.0", Road::Quick},
      {"100", "100", Road::Quick},
      {"100.0", "100.0", Road::Quick},
      {"1.5E+3", "1500.0"},
      {"123456789012345678", "123456789012345678", Road::Quick},
      {"0.1e1", "1.0"},
      {"-1.25e-10", "-1.25e-10"},
      {"0e99999999999", "0.0"},
      {"-0e99999999999", "-0.0"},
      {"0.000e+99999999999", "0.0"},
      {"1e-99999999999", "0.0"},
      {"-1e-99999999999", "-0.0"},
      {"-1.5e-2147483648", "-0.0"},
      {"1e-2147483647", "0.0"},
      {std::string("1") + std::string(400, '0') + "e-400", "1.0"},
      {std::string("0.") + std::string(400, '0') + "1", "0.0"},
      {std::string("0.") + std::string(400, '0') + "1e400", "0.1"},
      // Leading fraction zeros still count as digits taken; only a digit that no longer fits
      // is dropped.
      {std::string("0.") + std::string(300, '0') + "1e300", "0.1"},
      {"[1.5,-2,3e1]", "[1.5,-2,30.0]"},
      // Floats written back as their text, and the near misses that are not.
      {"0.00001", "0.00001", Road::Quick},
      {"-0.00042", "-0.00042", Road::Quick},
      {"0.000001", "1e-6", Road::Quick},
      {"0.5", "0.5", Road::Quick},
      {"1.50", "1.5", Road::Quick},
      {"10.0", "10.0", Road::Quick},
      {"100.00", "100.0", Road::Quick},
      {"[4200.11,-81.59,0.1974]", "[4200.11,-81.59,0.1974]"},
      // Where the quick road hands over: 19 digits in all, 15 significant, two exponents.
      {"1234567890123456789", "1234567890123456789", Road::Quick},
      {"-1234567890123456789", "-1234567890123456789"},
      {"-123456789012345678", "-123456789012345678", Road::Quick},
      {"12345678901234.5", "12345678901234.5", Road::Quick},
      {"-9223372036854775807", "-9223372036854775807"},
      {"12345678901234567890", "12345678901234567890"},
      {"0.123456789012345", "0.123456789012345", Road::Quick},
      {"0.1234567890123456", "0.1234567890123456"},
      {"123456789012345.6", "123456789012345.6"},
      {"1234567890123456.7", "1234567890123456.8"},
      // Up to 19 digits with more than 15 significant: read eight at a time, by the same recipe.
      {"-65.613616999999977", "-65.61361699999998"},
      {"1.234567890123456789", "1.2345678901234567"},
      {"12345678.12345678901", "12345678.12345679"},
      {"1.0000000000000001", "1.0"},
      {"0.9999999999999999999", "1.0"},
      {"0.000000", "0.0"},
      {"0.0000100", "0.00001", Road::Quick},
      {"1234.5e2", "123450.0"},
      {"0.1e1", "1.0"},
  };
  for (const NumberCase& c : cases) {
    expect_same_roads(c.input, c.road);
    EXPECT_EQ(to_compact_text(parse_ok(c.input)), c.printed) << c.input;
    // The borrowed document writes numbers by its own road.
    std::string text = c.input;
    Result<JsonDocument> document = parse_document(text);
    ASSERT_TRUE(document.ok()) << c.input;
    EXPECT_EQ(rendered(document.value(), true), c.printed) << c.input;
    // And as a member's value, which may be kept with its key as one run of text.
    std::string member = "{\"k\":" + std::string(c.input) + "}";
    Result<JsonDocument> object = parse_document(member);
    ASSERT_TRUE(object.ok()) << c.input;
    EXPECT_EQ(rendered(object.value(), true), "{\"k\":" + std::string(c.printed) + "}") << c.input;
    EXPECT_EQ(object.value().to_value(), parse_ok(member)) << c.input;
  }
}

TEST(ParseNumberTest, Representations) {
  EXPECT_EQ(parse_ok("0").kind(), JsonValue::Kind::Unsigned);
  EXPECT_EQ(parse_ok("18446744073709551615").as_u64(), 18446744073709551615ull);
  EXPECT_EQ(parse_ok("-1").kind(), JsonValue::Kind::Negative);
  EXPECT_EQ(parse_ok("-9223372036854775808").as_i64(), INT64_MIN);
  EXPECT_EQ(parse_ok("-9223372036854775809").kind(), JsonValue::Kind::Float);
  EXPECT_EQ(parse_ok("18446744073709551616").kind(), JsonValue::Kind::Float);
  const JsonValue minus_zero = parse_ok("-0");
  ASSERT_EQ(minus_zero.kind(), JsonValue::Kind::Float);
  EXPECT_TRUE(std::signbit(minus_zero.as_double()));
  EXPECT_EQ(parse_ok("1.0").kind(), JsonValue::Kind::Float);
  EXPECT_EQ(parse_ok("1e0").kind(), JsonValue::Kind::Float);
  EXPECT_EQ(parse_ok("5e-324").as_double(), 4.9406564584124654e-324);
  EXPECT_EQ(parse_ok("-5e-324").as_double(), -4.9406564584124654e-324);
}

// -- An independent model of the float conversion, for long digit strings. ----------

double pow10_nearest(int k) {
  return std::strtod((std::string("1e") + std::to_string(k)).c_str(), nullptr);
}

struct ModelResult {
  bool out_of_range = false;
  double value = 0;
};

// `text` is a valid JSON number holding "." or an exponent, or an integer beyond the integer
// ranges.
ModelResult model_float(std::string_view text) {
  std::size_t i = 0;
  const bool negative = text[0] == '-';
  if (negative) ++i;
  std::uint64_t significand = 0;
  const auto fits = [&significand](unsigned digit) {
    return significand <= (UINT64_MAX - digit) / 10;
  };
  long long exponent = 0;
  bool full = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (!full && fits(digit)) {
      significand = significand * 10 + digit;
    } else {
      full = true;
      ++exponent;
    }
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    full = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      const unsigned digit = static_cast<unsigned>(text[i] - '0');
      if (!full && fits(digit)) {
        significand = significand * 10 + digit;
        --exponent;
      } else {
        full = true;
      }
    }
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool positive = true;
    if (text[i] == '+' || text[i] == '-') positive = text[i++] == '+';
    long long e = 0;
    for (; i < text.size(); ++i) {
      e = e * 10 + (text[i] - '0');
      if (e > INT32_MAX) {
        if (significand == 0 || !positive) return {false, negative ? -0.0 : 0.0};
        return {true, 0};
      }
    }
    exponent = positive ? exponent + e : exponent - e;
    exponent = std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, exponent));
  }
  double f = static_cast<double>(significand);
  long long x = exponent;
  while (std::llabs(x) > 308) {
    if (f == 0) return {false, negative ? -f : f};
    if (x > 0) return {true, 0};
    f /= 1e308;
    x += 308;
  }
  if (x >= 0) {
    f *= pow10_nearest(static_cast<int>(x));
    if (std::isinf(f)) return {true, 0};
  } else {
    f /= pow10_nearest(static_cast<int>(-x));
  }
  return {false, negative ? -f : f};
}

std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

void expect_matches_model(const std::string& text) {
  const ModelResult model = model_float(text);
  const Result<JsonValue> r = parse_json(text);
  if (model.out_of_range) {
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error().rfind("number out of range at line 1 column ", 0), 0u) << text;
    return;
  }
  ASSERT_TRUE(r.ok()) << text << ": " << r.error();
  ASSERT_EQ(r.value().kind(), JsonValue::Kind::Float) << text;
  EXPECT_EQ(bits(r.value().as_double()), bits(model.value))
      << text << " parsed " << to_compact_text(r.value()) << " model " << model.value;
}

TEST(ParseNumberTest, PowerTableEntries) {
  for (int k = 0; k <= 308; ++k) {
    const std::string up = std::string("1e") + std::to_string(k);
    EXPECT_EQ(bits(parse_ok(up).as_double()), bits(pow10_nearest(k))) << up;
    const std::string down = std::string("1e-") + std::to_string(k);
    EXPECT_EQ(bits(parse_ok(down).as_double()), bits(1.0 / pow10_nearest(k))) << down;
  }
}

TEST(ParseNumberTest, DroppedDigitRules) {
  const std::string fixed[] = {
      // Integer part: the first digit that does not fit and all later integer digits are
      // dropped, even those that would fit again.
      "18446744073709551616.5",
      "184467440737095516170.5",
      "184467440737095516150",
      "18446744073709551615.9",
      "18446744073709551615.5",
      "99999999999999999999",
      "99999999999999999999.99999",
      "12345678901234567890123456789e-10",
      "1234567890123456789012345678901234567890",
      "-1234567890123456789012345678901234567890",
      // Fraction part: digits are taken while they fit, then all dropped.
      "0.12345678901234567890123456789",
      "3.14159265358979323846264338327950288419716939937510",
      "1.8446744073709551615999",
      "0.000000000000000000000000000000000000000123456789012345678901234567890",
      "2.22507385850720138309e-308",
      "4.9406564584124654e-324",
      "2.4703282292062328e-324",
      "1.7976931348623157e308",
      "1.7976931348623158e308",
      "179769313486231570000000000000000000000000e267",
      "0.1e-307",
      "123456789012345678901234567890e-330",
      "9007199254740993.0",
      "-9223372036854775809",
      std::string("1") + std::string(300, '0'),
      std::string("1") + std::string(308, '0') + ".0",
      std::string("0.") + std::string(350, '9'),
      "1e-320",
      "1e-616",
      "1e-617",
      "12e-617",
      "1.5e-2147483648",
      "1e-2147483647",
      "123e-2147483647",
  };
  for (const std::string& text : fixed) expect_matches_model(text);

  // Generated digit strings around the 19/20-digit boundary and beyond, deterministic.
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto next = [&state]() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int n = 0; n < 4000; ++n) {
    std::string text;
    if (next() % 4 == 0) text += "-";
    const int int_digits = 1 + static_cast<int>(next() % 30);
    text.push_back(static_cast<char>('1' + next() % 9));
    for (int d = 1; d < int_digits; ++d) text.push_back(static_cast<char>('0' + next() % 10));
    if (next() % 2 == 0) {
      text += ".";
      const int frac_digits = 1 + static_cast<int>(next() % 30);
      for (int d = 0; d < frac_digits; ++d) text.push_back(static_cast<char>('0' + next() % 10));
    }
    if (next() % 2 == 0 || text.find('.') == std::string::npos) {
      text += (next() % 2 == 0) ? "e" : "E";
      const int sign = static_cast<int>(next() % 3);
      if (sign == 1) text += "+";
      if (sign == 2) text += "-";
      text += std::to_string(next() % 700);
    }
    expect_matches_model(text);
  }
}

// ---------------------------------------------------------------------------------------------

TEST(ParseStringTest, Escapes) {
  EXPECT_EQ(parse_ok(R"("\"\\\/\b\f\n\r\t")").as_string(), "\"\\/\b\f\n\r\t");
  EXPECT_EQ(parse_ok(R"("\u0041\u00e9\u00E9\u20AC\uffff")").as_string(),
            "A\xc3\xa9\xc3\xa9\xe2\x82\xac\xef\xbf\xbf");
  EXPECT_EQ(parse_ok(R"("\u0000")").as_string(), std::string("\0", 1));
  EXPECT_EQ(parse_ok(R"("a\u0000b")").as_string(), std::string("a\0b", 3));
  EXPECT_EQ(parse_ok(R"("\ud83d\ude00")").as_string(), "\xf0\x9f\x98\x80");
  EXPECT_EQ(parse_ok(R"("\uD800\uDC00")").as_string(), "\xf0\x90\x80\x80");
  EXPECT_EQ(parse_ok(R"("\uDBFF\uDFFF")").as_string(), "\xf4\x8f\xbf\xbf");
  EXPECT_EQ(parse_ok(R"("\ud7ff\ue000")").as_string(), "\xed\x9f\xbf\xee\x80\x80");
  EXPECT_EQ(parse_ok(R"("x\u007f\u0080\u07ff\u0800y")").as_string(),
            "x\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80y");
  EXPECT_EQ(parse_ok("\"\xc3\xa9\\n\xe2\x82\xac\"").as_string(), "\xc3\xa9\n\xe2\x82\xac");
  EXPECT_EQ(parse_ok("\"\x7f\"").as_string(), "\x7f");
  EXPECT_EQ(parse_ok("\"\xf4\x8f\xbf\xbf\"").as_string(), "\xf4\x8f\xbf\xbf");
  EXPECT_EQ(parse_ok("\"\"").as_string(), "");
}

TEST(ParseStringTest, PrintedBack) {
  EXPECT_EQ(to_compact_text(parse_ok(R"("\u0000")")), R"("\u0000")");
  EXPECT_EQ(to_compact_text(parse_ok(R"("\/")")), R"("/")");
  EXPECT_EQ(to_compact_text(parse_ok(R"("\u00e9")")), "\"\xc3\xa9\"");
  EXPECT_EQ(to_compact_text(parse_ok("\"\xc3\xa9\"")), "\"\xc3\xa9\"");
  EXPECT_EQ(to_compact_text(parse_ok(R"("\u001b\u001F\u007f")")), "\"\\u001b\\u001f\x7f\"");
  EXPECT_EQ(to_compact_text(parse_ok(R"("\b\f\n\r\t\"\\")")), R"("\b\f\n\r\t\"\\")");
}

TEST(ParseStringTest, InvalidUtf8Content) {
  const std::string bad[] = {
      "\xc0\x80",          // overlong NUL
      "\xc1\xbf",          // overlong
      "\xe0\x80\x80",      // overlong three bytes
      "\xe0\x9f\xbf",      // overlong three bytes
      "\xf0\x80\x80\x80",  // overlong four bytes
      "\xf0\x8f\xbf\xbf",  // overlong four bytes
      "\xed\xa0\x80",      // surrogate D800
      "\xed\xbf\xbf",      // surrogate DFFF
      "\xf4\x90\x80\x80",  // above U+10FFFF
      "\xf5\x80\x80\x80",  // no such lead byte
      "\xff",
      "\x80",  // continuation without lead
      "a\xbf",
      "\xe2\x82",      // truncated
      "\xf0\x9f\x98",  // truncated
      "\xc3",          // truncated
      "\xc3\xc3\xa9",  // lead where a continuation must come
  };
  for (const std::string& content : bad) {
    const std::string text = "\"" + content + "\"";
    EXPECT_EQ(
        parse_json(text).error(),
        std::string("invalid unicode code point at line 1 column ") + std::to_string(text.size()))
        << describe(content);
    // The same as a key, and with escapes around it.
    const std::string key = "{\"" + content + "\\t\":0}";
    EXPECT_EQ(parse_json(key).error(), std::string("invalid unicode code point at line 1 column ") +
                                           std::to_string(content.size() + 5))
        << describe(content);
  }
}

TEST(ParseStringTest, LongStringsWithEscapesAtEveryOffset) {
  for (std::size_t at = 0; at < 140; ++at) {
    const std::string head(at, 'h');
    const std::string tail(at % 37, 't');
    const JsonValue v = parse_ok("\"" + head + "\\n\xc3\xa9" + tail + "\\u00e9\"");
    EXPECT_EQ(v.as_string(), head + "\n\xc3\xa9" + tail + "\xc3\xa9");
  }
}

// ---------------------------------------------------------------------------------------------

TEST(ParseStructureTest, ValuesAndWhitespace) {
  const JsonValue v = parse_ok(" \t\r\n{ \"b\" : [ true , false , null ] ,\n\"a\":{}} \n");
  ASSERT_EQ(v.kind(), JsonValue::Kind::Object);
  EXPECT_EQ(to_compact_text(v), R"({"a":{},"b":[true,false,null]})");
  // Space on either side of a member's colon.
  EXPECT_EQ(to_compact_text(parse_ok("{\"b\" :1,\"a\": \"x\",\"d\"\n:null,\"c\":true}")),
            R"({"a":"x","b":1,"c":true,"d":null})");
  EXPECT_TRUE(parse_ok("null").is_null());
  EXPECT_EQ(parse_ok("true").as_bool(), true);
  EXPECT_EQ(parse_ok(" false ").as_bool(), false);
  EXPECT_EQ(parse_ok("\"s\"").as_string(), "s");
  EXPECT_EQ(parse_ok("[]").as_array().size(), 0u);
  EXPECT_EQ(parse_ok("{}").as_object().size(), 0u);
  EXPECT_EQ(to_compact_text(parse_ok("[[[]],[{}],{\"x\":[1]}]")), "[[[]],[{}],{\"x\":[1]}]");
}

TEST(ParseStructureTest, DuplicateKeysLastWins) {
  const JsonValue v = parse_ok(R"({"a":1,"a":2})");
  ASSERT_EQ(v.as_object().size(), 1u);
  EXPECT_EQ(v.as_object().find("a")->as_u64(), 2u);
  EXPECT_EQ(to_compact_text(parse_ok(R"({"b":1,"a":2,"b":3,"a":[4],"c":5,"b":{"z":0,"z":1}})")),
            R"({"a":[4],"b":{"z":1},"c":5})");
  // Enough members for the large-object sort.
  std::string text = "{";
  for (int i = 0; i < 100; ++i) {
    text +=
        std::string("\"k") + std::to_string(i % 40) + std::string("\":") + std::to_string(i) + ",";
  }
  text += "\"k0\":\"last\"}";
  const JsonValue big = parse_ok(text);
  EXPECT_EQ(big.as_object().size(), 40u);
  EXPECT_EQ(big.as_object().find("k0")->as_string(), "last");
  EXPECT_EQ(big.as_object().find("k1")->as_u64(), 81u);
  EXPECT_EQ(big.as_object().find("k39")->as_u64(), 79u);
}

// The worked example of src/json/README.md, node for node.
TEST(ParseStructureTest, WorkedExampleNodes) {
  std::string text = R"({"id":7,"tags":[true,2.50],"b":"x\ty","a":1e2})";
  ASSERT_EQ(text.size(), 46u);
  const Result<JsonDocument> document = parse_document(text);
  ASSERT_TRUE(document.ok()) << document.error();
  using Tag = JsonDocument::Tag;
  using Node = JsonDocument::Node;
  const Node expected[] = {
      {Tag::OrderedObject, 0, 12},
      {Tag::Pair, 2, 0x0001'0002},
      {Tag::String, 9, 4},
      {Tag::Array, 15, 7},
      {Tag::True, 16, 4},
      {Tag::ShortFloat, 21, 4},
      Node::payload(0x0050'0000'0000'00fa),  // 250, exponent -2
      {Tag::String, 28, 1},
      {Tag::EscapedString, 32, 3},
      {Tag::String, 39, 1},
      {Tag::ShortFloat, 42, 3},
      Node::payload(0x0060'0000'0000'0001),  // 1, exponent 2
  };
  ASSERT_EQ(document.value().node_count(), std::size(expected));
  for (std::uint32_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(document.value().node(i).head, expected[i].head) << "node " << i;
    EXPECT_EQ(document.value().node(i).aux, expected[i].aux) << "node " << i;
  }
  EXPECT_EQ(rendered(document.value(), true), R"({"a":100.0,"b":"x\ty","id":7,"tags":[true,2.5]})");
}

TEST(ParseStructureTest, MemberOrderIsKeyOrder) {
  const JsonValue v = parse_ok(R"({"success":true,"requestId":"r","data":{"z":1,"a":2}})");
  EXPECT_EQ(to_compact_text(v), R"({"data":{"a":2,"z":1},"requestId":"r","success":true})");
  const JsonValue keys = parse_ok("{\"\xc3\xa9\":0,\"ab\":0,\"a\":0,\"Z\":0,\"\":0}");
  EXPECT_EQ(to_compact_text(keys), "{\"\":0,\"Z\":0,\"a\":0,\"ab\":0,\"\xc3\xa9\":0}");
}

TEST(ParseStructureTest, SiblingObjectsSortedAlikeOnlyWhenTheirKeysMatch) {
  // Unsorted siblings at one depth reuse the order found for the one before when their keys
  // are the same; every near miss must sort afresh.
  const std::pair<std::string_view, std::string_view> cases[] = {
      {R"([{"b":1,"a":2},{"b":3,"a":4}])", R"([{"a":2,"b":1},{"a":4,"b":3}])"},
      {R"([{"b":1,"a":2,"c":3},{"f":1,"e":2,"d":3}])",
       R"([{"a":2,"b":1,"c":3},{"d":3,"e":2,"f":1}])"},
      // Keys alike in their first eight bytes and their length.
      {R"([{"key_long_b":1,"key_long_a":2,"key_long_c":3},{"key_long_b":1,"key_long_c":2,"key_long_a":3}])",
       R"([{"key_long_a":2,"key_long_b":1,"key_long_c":3},{"key_long_a":3,"key_long_b":1,"key_long_c":2}])"},
      // Keys alike in their first eight bytes once padded with zeros.
      {R"([{"b":0,"a\u0000":1,"a":2},{"b":0,"a":1,"a\u0000":2}])",
       R"([{"a":2,"a\u0000":1,"b":0},{"a":1,"a\u0000":2,"b":0}])"},
      {R"([{"b":1,"a":2,"b":3},{"b":1,"a":2,"c":3},{"b":1,"a":2,"b":3}])",
       R"([{"a":2,"b":3},{"a":2,"b":1,"c":3},{"a":2,"b":3}])"},
      {R"([{"y":{"b":1,"a":2},"x":0},{"y":{"d":1,"c":2},"x":0},{"y":{"b":5,"a":6},"x":1}])",
       R"([{"x":0,"y":{"a":2,"b":1}},{"x":0,"y":{"c":2,"d":1}},{"x":1,"y":{"a":6,"b":5}}])"},
      // Two sets of keys taking turns, and a third that pushes the older out.
      {R"([{"b":1,"a":2},{"d":1,"c":2},{"b":3,"a":4},{"d":3,"c":4},{"f":5,"e":6},{"b":7,"a":8},{"f":9,"e":0},{"d":1,"c":2}])",
       R"([{"a":2,"b":1},{"c":2,"d":1},{"a":4,"b":3},{"c":4,"d":3},{"e":6,"f":5},{"a":8,"b":7},{"e":0,"f":9},{"c":2,"d":1}])"},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(to_compact_text(parse_ok(input)), expected) << input;
  }
  // Shapes are remembered up to 16 keys: siblings of 16 and of 17 keys, the second with the
  // first's keys, the third with one key changed.
  for (const int n : {16, 17}) {
    std::string text = "[";
    JsonArray expected;
    for (int sibling = 0; sibling < 3; ++sibling) {
      text += sibling == 0 ? "{" : ",{";
      JsonObject object;
      for (int k = n; k > 0; --k) {
        const std::string key = cat({sibling == 2 && k == 1 ? "z" : "k", std::to_string(k)});
        text += cat({k == n ? "\"" : ",\"", key, "\":", std::to_string(sibling * 100 + k)});
        object.insert(key, JsonValue::from_u64(static_cast<std::uint64_t>(sibling * 100 + k)));
      }
      text += "}";
      expected.push_back(object);
    }
    text += "]";
    EXPECT_EQ(to_compact_text(parse_ok(text)), to_compact_text(JsonValue(expected))) << n;
  }
}

// A document made from a prefix of a larger buffer, as the client parses a frame: the bytes
// past the prefix would change every answer below if a block read (8 digits, 16 string bytes,
// 8 key bytes, 16 or 32 bytes copied out) took them. Each is also parsed from a copy of exactly
// its size, where a sanitizer sees any read past it.
TEST(ParseStructureTest, DocumentFromPrefixOfLargerBuffer) {
  struct PrefixCase {
    std::string prefix;
    std::string rest;
    std::string compact;  // or the error message
  };
  const PrefixCase cases[] = {
      {"123", "4567890123456789", "123"},
      {"[12345678,9]", "0123456789", "[12345678,9]"},
      {"1.25", "0000000000000000", "1.25"},
      {"-0.5", "e100000000000000", "-0.5"},
      {"\"abc\"", "def\"ghijklmnopqrstuvwxyz0123456789", "\"abc\""},
      {"\"abc", "\"", "EOF while parsing a string at line 1 column 4"},
      {"\"0123456789abcdef0123", "\"", "EOF while parsing a string at line 1 column 21"},
      {"{\"b\":1,\"a\":2}", "\"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz", "{\"a\":2,\"b\":1}"},
      {"{\"key\":\"v\"}", std::string(40, 'x'), "{\"key\":\"v\"}"},
      {"tru", "e", "EOF while parsing a value at line 1 column 3"},
      {"[1,", "2]", "EOF while parsing a value at line 1 column 3"},
  };
  for (const PrefixCase& c : cases) {
    std::string buffer = cat({c.prefix, c.rest});
    const auto exact = std::make_unique<char[]>(c.prefix.size());
    std::copy(c.prefix.begin(), c.prefix.end(), exact.get());
    for (char* text : {buffer.data(), exact.get()}) {
      const Result<JsonDocument> document = parse_document({text, c.prefix.size()});
      EXPECT_EQ(document.ok() ? rendered(document.value(), true) : document.error(), c.compact)
          << c.prefix;
      if (document.ok()) rendered(document.value(), false);
    }
  }
}

// A member is one Pair node only while its key and its value text fit 16 bits each; either
// side of that limit it must read and write the same.
TEST(ParseStructureTest, LongKeysAndValues) {
  for (const std::size_t key_length : {std::size_t{1}, std::size_t{65'535}, std::size_t{65'536}}) {
    // Value text lengths (quotation marks included) of 65,535 and 65,536, and a short one.
    for (const std::size_t value_length :
         {std::size_t{3}, std::size_t{65'535}, std::size_t{65'536}}) {
      const std::string key(key_length, 'k');
      const std::string value(value_length - 2, 'v');
      const std::string text = cat({"{\"", key, "\":\"", value, "\",\"a\":true}"});
      std::string work = text;
      const Result<JsonDocument> document = parse_document(work);
      ASSERT_TRUE(document.ok()) << key_length << " " << value_length;
      const JsonValue tree = parse_ok(text);
      EXPECT_EQ(document.value().to_value(), tree) << key_length << " " << value_length;
      EXPECT_EQ(rendered(document.value(), true), to_compact_text(tree))
          << key_length << " " << value_length;
      EXPECT_EQ(rendered(document.value(), false), to_indented_text(tree))
          << key_length << " " << value_length;
      const std::optional<std::uint32_t> member = document.value().find_root_member(key);
      ASSERT_TRUE(member);
      EXPECT_EQ(document.value().member_value_tag(*member), JsonDocument::Tag::String);
    }
  }
}

}  // namespace
}  // namespace vtm
