// Records the golden corpus of the JSON core: a fixed list of inputs (hand-picked edge cases,
// seeded random documents, numbers, mutations, truncations, the parse fuzz seeds, a few large
// documents) and, for each, what the core built from this tree answers. Same seed, same inputs.
//   golden_record OUT_FILE FUZZ_SEED_DIR
// Only ever run on a trusted core: the file is the reference a new core must match.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "golden/golden_records.h"
#include "json/parse.h"
#include "json/write.h"
#include "support/split_mix.h"

namespace {

using Rng = vtm::testing::SplitMix;
using namespace std::string_literals;  // "..."s keeps embedded NULs

class Inputs {
 public:
  void add(std::string s) {
    if (seen_.insert(s).second) list_.push_back(std::move(s));
  }
  // The value alone, as an array element, as an object member, and with surrounding space.
  void add_in_contexts(const std::string& v) {
    add(v);
    add("[" + v + "]");
    add("{\"k\":" + v + "}");
    add(" \t\r\n" + v + "\n");
  }
  const std::vector<std::string>& list() const { return list_; }

 private:
  std::set<std::string> seen_;
  std::vector<std::string> list_;
};

std::string pick(Rng& rng, const std::vector<std::string>& from) {
  return from[rng.below(from.size())];
}

std::string digits(Rng& rng, std::uint64_t n, bool leading_nonzero) {
  std::string s;
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::uint64_t d = (i == 0 && leading_nonzero) ? 1 + rng.below(9) : rng.below(10);
    s.push_back(static_cast<char>('0' + d));
  }
  return s;
}

// ---- literals, structure, white space ----

void add_basics(Inputs& in) {
  // clang-format off
  for (const std::string& s : std::vector<std::string>{
           ""s, " "s, "\n"s, "\r\n\t "s, "null"s, "true"s, "false"s, "nul"s, "tru"s, "fals"s,
           "n"s, "t"s, "f"s, "nulll"s, "truee"s, "falsey"s, "True"s, "NULL"s, "nan"s, "NaN"s,
           "Infinity"s, "-Infinity"s, "undefined"s, "none"s, "nUll"s, "tRue"s, "fAlse"s, "[]"s,
           "{}"s, "[ ]"s, "{ }"s, "[\n]"s, "{\r\n}"s, "[,]"s, "{,}"s, "[1,]"s, "[1,,2]"s, "[,1]"s,
           "[1 2]"s, "[1,\n]"s, "{\"a\":1,}"s, "{\"a\":1 ,\n}"s, "{\"a\" 1}"s, "{\"a\":}"s,
           "{\"a\"}"s, "{:1}"s, "{1:1}"s, "{null:1}"s, "{true:1}"s, "{[]:1}"s, "{{}:1}"s,
           "{'a':1}"s, "{a:1}"s, "{\"a\":1 \"b\":2}"s, "{\"a\":1;\"b\":2}"s, "{\"a\"=1}"s,
           "{\"a\"::1}"s, "{\"a\":1,,\"b\":2}"s, "]"s, "}"s, ":"s, ","s, "[}"s, "{]"s, "[1}"s,
           "{\"a\":1]"s, "[[]"s, "[]]"s, "{}}"s, "\"abc"s, "\""s, "'a'"s, "[1] x"s, "[1][2]"s,
           "1 2"s, "{}{}"s, "{} {}"s, "null null"s, "truefalse"s, "nulltrue"s, "[true false]"s,
           "[truefalse]"s, "[nul]"s, "[tru,1]"s, "[fals]"s, "\xEF\xBB\xBF{}"s, "\xEF\xBB\xBF"s,
           "\xEF\xBB\xBF" "1"s, "\xEF\xBB" "1"s, "\xFE\xFF{}"s, "// c\n{}"s, "/* c */1"s,
           "{\"a\":1}//"s, "# c\n1"s, "[1]\0"s, "\0"s, "\0[]"s, "[\0]"s, "1\0"s, "[1,\0]"s,
           "\v1"s, "\f1"s, "1\v"s, "[1,\f2]"s, "\xC2\xA0" "1"s, "\xE3\x80\x80[]"s, "[1]\x1A"s,
           "[1]\n\n\n  x"s, "\n\n  ]"s, "\r\r\r]"s, "\r\n\r\n  ]"s, "\n\"\xC3\xA9\xC3\xA9\" x"s,
           "[\n1,\n2,\n3\n]"s, "{\n\"a\"\n:\n1\n}"s, "[\"\xE2\x82\xAC\",\n  \"\xF0\x9F\x98\x80\" ]]"s,
           "[\"\xE2\x82\xAC\", nul ]"s, "[[[[[[[[[[]]]]]]]]]]"s, "[{},[],{\"\":[]},[{}]]"s,
           "{\"a\":[],\"b\":{},\"c\":[{}],\"d\":{\"e\":[]}}"s, "[null,true,false,0,\"\"]"s,
       }) {
    // clang-format on
    in.add(s);
  }
}

void add_white_space(Inputs& in, Rng& rng) {
  const std::vector<std::string> tokens = {
      "{", "\"a\"", ":", "[", "1", ",", "-2.5e3", ",",     "\"\"", ",",    "true", ",",
      "{", "}",     ",", "[", "]", "]", ",",      "\"b\"", ":",    "null", "}"};
  const std::vector<std::string> good = {"", " ", "\t", "\n", "\r", "\r\n", "  \n\t ", "\n\n\n"};
  const std::vector<std::string> bad = {"\v", "\f", "\xC2\xA0", "\0"s, "\x1F", "\x7F", "/**/"};
  for (int n = 0; n < 120; ++n) {
    const bool broken = n % 3 == 2;
    const std::size_t bad_at = rng.below(tokens.size() + 1);
    std::string doc;
    for (std::size_t i = 0; i <= tokens.size(); ++i) {
      doc += (broken && i == bad_at) ? pick(rng, bad) : pick(rng, good);
      if (i < tokens.size()) doc += tokens[i];
    }
    in.add(doc);
  }
}

// ---- nesting ----

void add_nesting(Inputs& in) {
  std::vector<int> depths;
  for (int d = 1; d <= 12; ++d) depths.push_back(d);
  for (int d = 120; d <= 135; ++d) depths.push_back(d);
  for (int d : {30, 63, 64, 65, 100, 200, 255, 256, 1000, 5000}) depths.push_back(d);
  for (int d : depths) {
    const auto n = static_cast<std::size_t>(d);
    in.add(std::string(n, '[') + std::string(n, ']'));
    in.add(std::string(n, '[') + "1" + std::string(n, ']'));
    in.add(std::string(n, '[') + "1,[]" + std::string(n, ']'));
    in.add(std::string(n, '['));
    in.add(std::string(n, '[') + std::string(n > 1 ? n - 1 : 0, ']'));
    in.add(std::string(n, '[') + "1," + std::string(n, ']'));
    std::string obj;
    std::string mixed;
    std::string mixed_close;
    for (int i = 0; i < d; ++i) {
      obj += "{\"k\":";
      mixed += (i % 2 == 0) ? "[" : "{\"" + std::to_string(i) + "\":";
      mixed_close.insert(0, (i % 2 == 0) ? "]" : "}");
    }
    in.add(obj + "null" + std::string(n, '}'));
    in.add(obj + "{}" + std::string(n, '}'));
    in.add(obj + "null");
    in.add(mixed + "\"x\"" + mixed_close);
    in.add(mixed + "[0.5,{\"a\":-1}]" + mixed_close);
  }
}

// ---- wide containers, key order, duplicates ----

void add_wide(Inputs& in, Rng& rng) {
  for (std::size_t n : {100u, 1000u, 4000u}) {
    std::string a = "[";
    for (std::size_t i = 0; i < n; ++i) {
      if (i) a += ",";
      a += std::to_string(rng.next() >> rng.below(64));
    }
    in.add(a + "]");
  }
  const std::vector<std::string> scalars = {"null",  "true", "false", "0",   "-1", "1.5",
                                            "\"s\"", "[]",   "{}",    "1e3", "-0", "\"\\u00e9\""};
  for (std::size_t n : {50u, 500u, 2000u}) {
    std::string a = "[";
    for (std::size_t i = 0; i < n; ++i) {
      if (i) a += ",";
      a += pick(rng, scalars);
    }
    in.add(a + "]");
  }
  for (std::size_t n : {10u, 100u, 1000u}) {
    for (std::uint64_t pool : {n * 4, n / 2}) {
      std::string o = "{";
      for (std::size_t i = 0; i < n; ++i) {
        if (i) o += ",";
        o += "\"key" + std::to_string(rng.below(pool)) + "\":" + std::to_string(i);
      }
      in.add(o + "}");
    }
  }
}

void add_keys(Inputs& in, Rng& rng) {
  // clang-format off
  const std::vector<std::string> keys = {
      "\"\"", "\"a\"", "\"ab\"", "\"abc\"", "\"a\\u0000\"", "\"a\\u0000b\"", "\"b\"", "\"B\"",
      "\"A\"", "\"aa\"", "\"a \"", "\"a\\\"\"", "\"a\\\\\"", "\"\\u00e9\"", "\"\xC3\xA9\"",
      "\"\\u0080\"", "\"\x7F\"", "\"~\"", "\"\\uffff\"", "\"\xF0\x9F\x98\x80\"",
      "\"\\ud83d\\ude00\"", "\"\\/\"", "\"/\"", "\"\\t\"", "\"\\n\"", "\"Z\"", "\"z\"",
      "\"10\"", "\"9\"", "\"a\\u0041\"", "\"aA\""};
  // clang-format on
  for (int n = 0; n < 300; ++n) {
    const std::uint64_t count = 1 + rng.below(12);
    std::string o = "{";
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::string value =
          rng.below(4) == 0 ? "{\"x\":[" + std::to_string(i) + "]}" : std::to_string(i);
      if (i) o += ",";
      o += pick(rng, keys);
      o += ":" + value;
    }
    in.add(o + "}");
  }
  // A duplicate whose first value is a container, the last a scalar, and the other way round.
  in.add("{\"a\":{\"b\":[1,2,{\"c\":3}]},\"a\":1}");
  in.add("{\"a\":1,\"a\":{\"b\":[1,2,{\"c\":3}]}}");
  in.add("{\"a\":1,\"a\":2,\"a\":3,\"a\":4}");
  in.add("{\"b\":{\"y\":1,\"x\":2,\"y\":3},\"a\":[{\"z\":0,\"z\":[]}]}");
  in.add("{\"a\":1,\"a\":2,\"a\"}");
}

// ---- strings ----

void add_strings(Inputs& in) {
  // clang-format off
  std::vector<std::string> bodies = {
      "", "a", "\\\"", "\\\\", "\\/", "\\b", "\\f", "\\n", "\\r", "\\t",
      "\\\"\\\\\\/\\b\\f\\n\\r\\t", "x\\ny", "\\u0000", "a\\u0000b", "\\u0001", "\\u001f",
      "\\u001F", "\\u0020", "\\u0022", "\\u005c", "\\u005C", "\\u002f", "\\u007f", "\\u0080",
      "\\u00ff", "\\u00Ff", "\\u0100", "\\u07ff", "\\u0800", "\\u0fff", "\\ud7ff", "\\ue000",
      "\\ufffd", "\\ufffe", "\\uffff", "\\uFFFF", "\\uabcd", "\\uABCD", "\\u2028\\u2029",
      "\\ud800\\udc00", "\\udbff\\udfff", "\\ud83d\\ude00", "\\uD83D\\uDE00", "\\uD834\\uDD1E",
      "a\\ud83d\\ude00b", "\\ud800", "\\ud800x", "\\ud800\\n", "\\ud800\\u0041",
      "\\ud800\\ud800", "\\udbff\\ue000", "\\udc00", "\\udfff", "\\udc00\\ud800", "\\ud800\\",
      "\\ud800\\u", "\\ud800\\udc0", "\\ud800\\udcXY", "\\ud800\\x", "\\ud800u", "\\u",
      "\\u1", "\\u12", "\\u123", "\\u12G4", "\\uZZZZ", "\\u-123", "\\u 123", "\\u+123",
      "\\U0041", "\\a", "\\x41", "\\'", "\\0", "\\e", "\\ ", "\\\n", "\\", "\\\\\\",
      "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBF\xBF", "\xF4\x8F\xBF\xBF",
      "\xED\x9F\xBF", "\xEE\x80\x80", "\x7F", "\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC2",
      "\xC2\x41", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xE0\xA0", "\xED\xA0\x80", "\xED\xBF\xBF",
      "\xEF\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF", "\xF0\x9F\x98", "\xF4\x90\x80\x80",
      "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\xFE", "\xFF",
      "a\xFF" "b", "\xC3\xA9\xC3", "\xE2\x82\xAC\\n\xE2\x82\xAC", std::string(300, 'x'),
      std::string(70000, 'y')};
  // clang-format on
  for (int c = 0; c < 0x20; ++c) {
    bodies.push_back(std::string(1, static_cast<char>(c)));
    bodies.push_back("ab" + std::string(1, static_cast<char>(c)) + "cd");
  }
  for (const std::string& b : bodies) {
    const std::string s = "\"" + b + "\"";
    in.add(s);
    in.add("[" + s + "]");
    in.add("{" + s + ":" + s + "}");
    in.add("\"" + b);  // unterminated
  }
  // Raw bytes outside strings.
  for (const char* b : {"\xC3\xA9", "\x80", "\xFF", "\xF0\x9F\x98\x80"}) {
    in.add(std::string("[") + b + "]");
    in.add(std::string("{") + b + ":1}");
    in.add(std::string("[1,\n") + b + "]");
  }
}

// ---- numbers ----

void add_numbers(Inputs& in, Rng& rng) {
  // clang-format off
  std::vector<std::string> numbers = {
      "0", "1", "9", "10", "00", "01", "0.0", "0.5", "0e0", "0E0", "0e+0", "0e-0", "0.0e0",
      "0e999999999999", "0.0e-99999999999", "1e-0", "18446744073709551615",
      "18446744073709551616", "18446744073709551614", "18446744073709551619",
      "18446744073709551620", "99999999999999999999", "184467440737095516150",
      "100000000000000000000", "1844674407370955161.5", "18446744073709551615.0",
      "18446744073709551615e0", "9223372036854775807", "9223372036854775808",
      "9223372036854775809", "9007199254740992", "9007199254740993", "9007199254740993.0",
      "4294967295", "4294967296", "0.1", "0.2", "0.3", "0.30000000000000004", "1.5", "3.14159",
      "2.718281828459045", "0.000001", "0.00001", "0.0001", "0.0000099999999999", "1e-5",
      "1e-6", "1e-7", "9.9999e-6", "9.5e-5", "1.0", "1.00", "10.0", "123456.789", "1e0", "1e1",
      "1E1", "1e+1", "1E+1", "1e-1", "1E-1", "1e15", "1e16", "1e17", "1e21", "1e22", "1e23",
      "999999999999999", "999999999999999.0", "9999999999999998.0", "1000000000000000.0",
      "10000000000000000.0", "9.999999999999998e14", "1.0e16", "1e100", "1e300", "1e308",
      "1e309", "1e-300", "1e-307", "1e-308", "1e-309", "1e-320", "1e-323", "1e-324", "1e-400",
      "2e308", "10e307", "0.1e309", "1.7976931348623157e308", "1.7976931348623158e308",
      "1.7976931348623159e308", "1.797693134862316e308", "1.7976931348623157e+308",
      "179769313486231570000000000000000000000000000000000000000000000000000000000000000000000"
      "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
      "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
      "000000000000000000000000000000000000000000000000000000000000000000000",
      "2.2250738585072014e-308", "2.2250738585072011e-308", "2.225073858507201e-308",
      "4.9406564584124654e-324", "5e-324", "4e-324", "3e-324", "2.4703282292062327e-324",
      "2.4703282292062328e-324", "1e2147483647", "1e2147483648", "1e-2147483648",
      "1e-2147483649", "1e4294967296", "0e4294967296", "1e99999999999", "1e-99999999999",
      "123e-2147483647", "0.001e2147483647", "1000e-2147483648", "1e+2147483647",
      "1e+2147483648", "1e-2147483647", "0.1e-2147483648", "9999999999999999",
      "999999999999999.9", "99999999999999.99", "1234567890123456789", "12345678901234567890",
      "123456789012345678901234567890", "0.123456789012345678901234567890",
      "1.23456789012345678901234567890e10", "100000000000000000000000000000e-10",
      "0.0000000000000000000000000000001e31", "0.1e1", "8.98846567431158e307",
      "1.00000000000000011102230246251565404236316680908203125",
      "2.00000000000000011102230246251565404236316680908203125", "7.3177701707893310e15",
      "4.35679745465279e-309", "1.5e-323", "0.0000000000000000000000000001",
      "0.00000000000000000000000000000000000000000000000000000000000000000000000000001e-300",
      "1" + std::string(400, '0'), "1" + std::string(400, '0') + "e-400",
      "0." + std::string(400, '0') + "1", "0." + std::string(400, '0') + "1e400",
      "1." + std::string(300, '9'), std::string(30, '9') + "." + std::string(30, '9'),
      "-", "+1", "+0", ".1", "1.", "1.e1", "1e", "1e+", "1e-", "1E", "1ee1", "1e1.5", "1e1e1",
      "0x1", "0X1", "1_0", "01.5", "00.5", "0.", "1..5", "1.5.5", "1e+-1", "1e-+1", ".",
      "e1", "E1", ".e1", "1.0f", "1L", "1 000", "1,000", "0b1", "1\xD9\xA1", "\xD9\xA1",
      "1.5e", "1.5e+", "1.5E-", "-.5", "-.", "-e1", "- 1", "--1", "-+1", "-a", "-0x1",
      "2.", "0e", "0e+", "0.e1", "1E400", "1E-400", "-1E400"};
  // clang-format on
  const std::size_t listed = numbers.size();
  for (std::size_t i = 0; i < listed; ++i) {
    const char c = numbers[i].empty() ? ' ' : numbers[i][0];
    if (c != '-' && c != '+') numbers.push_back("-" + numbers[i]);
  }
  numbers.push_back("-9223372036854775808");
  numbers.push_back("-9223372036854775809");
  numbers.push_back("-18446744073709551616");
  const std::size_t hand_picked = numbers.size();
  // Random number shapes: digit counts around 0, 15-20 and beyond, exponents near every edge.
  for (int n = 0; n < 1200; ++n) {
    std::string s = rng.below(3) == 0 ? "-" : "";
    const std::uint64_t int_digits = rng.below(4) == 0 ? 0 : 1 + rng.below(rng.below(2) ? 6 : 25);
    s += int_digits == 0 ? "0" : digits(rng, int_digits, true);
    if (rng.below(2)) s += "." + digits(rng, 1 + rng.below(rng.below(2) ? 4 : 25), false);
    if (rng.below(2)) {
      s += rng.below(2) ? "e" : "E";
      const std::uint64_t sign = rng.below(3);
      s += sign == 0 ? "" : sign == 1 ? "+" : "-";
      const std::uint64_t e_digits = rng.below(8) == 0 ? 9 + rng.below(4) : 1 + rng.below(3);
      s += digits(rng, e_digits, false);
    }
    numbers.push_back(s);
  }
  // Random finite doubles, written shortest and at 17 significant digits.
  for (int n = 0; n < 400; ++n) {
    std::uint64_t bits = rng.next();
    if (n % 4 == 0) bits &= 0x800FFFFFFFFFFFFFull;  // subnormal
    double d = std::bit_cast<double>(bits);
    if (!std::isfinite(d)) d = 1.0 / static_cast<double>(n + 3);
    char buf[40];
    numbers.emplace_back(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
    numbers.emplace_back(
        buf, std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 17).ptr);
  }
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i < hand_picked) {
      in.add_in_contexts(numbers[i]);
    } else {
      in.add(numbers[i]);
    }
  }
}

// ---- random valid documents ----

std::string random_string_body(Rng& rng) {
  // clang-format off
  static const std::vector<std::string> PIECES = {
      "a", "Z", " ", "\\\"", "\\\\", "\\/", "\\b", "\\f", "\\n", "\\r", "\\t", "\\u0000",
      "\\u001f", "\\u00e9", "\\u20AC", "\\ud83d\\ude00", "\xC3\xA9", "\xE2\x82\xAC",
      "\xF0\x9F\x98\x80", "\x7F", "/", "key", "0123456789"};
  // clang-format on
  std::string s;
  for (std::uint64_t i = rng.below(8); i > 0; --i) s += pick(rng, PIECES);
  return s;
}

std::string random_document(Rng& rng, int depth, const std::vector<std::string>& numbers) {
  static const std::vector<std::string> SPACE = {"", "", "", " ", "\n", "\t", "\r\n  "};
  const std::uint64_t kind = rng.below(depth >= 5 ? 5 : 7);
  switch (kind) {
    case 0:
      return pick(rng, {"null", "true", "false"});
    case 1:
    case 2:
      return pick(rng, numbers);
    case 3:
    case 4:
      return "\"" + random_string_body(rng) + "\"";
    case 5: {
      std::string a = "[" + pick(rng, SPACE);
      for (std::uint64_t i = 0, n = rng.below(6); i < n; ++i) {
        if (i) a += "," + pick(rng, SPACE);
        a += random_document(rng, depth + 1, numbers);
      }
      return a + pick(rng, SPACE) + "]";
    }
    default: {
      std::string o = "{" + pick(rng, SPACE);
      for (std::uint64_t i = 0, n = rng.below(6); i < n; ++i) {
        if (i) o += "," + pick(rng, SPACE);
        o += "\"" + random_string_body(rng) + "\"";
        o += pick(rng, SPACE) + ":";
        o += pick(rng, SPACE);
        o += random_document(rng, depth + 1, numbers);
      }
      return o + pick(rng, SPACE) + "}";
    }
  }
}

std::vector<std::string> add_random_documents(Inputs& in, Rng& rng) {
  // clang-format off
  const std::vector<std::string> numbers = {
      "0", "-0", "7", "-7", "123456789", "18446744073709551615", "-9223372036854775808",
      "0.5", "-0.25", "1e3", "1E-3", "6.02214076e23", "1.5e-7", "123.456e+2", "1e400",
      "5e-324", "0.1", "100000000000000000000", "3.141592653589793", "-0.0", "1e15", "1e16"};
  // clang-format on
  std::vector<std::string> docs;
  for (int n = 0; n < 700; ++n) {
    docs.push_back(random_document(rng, 0, numbers));
    in.add(docs.back());
  }
  return docs;
}

// ---- broken forms of valid documents ----

void add_truncations_and_mutations(Inputs& in, Rng& rng, const std::vector<std::string>& docs) {
  std::vector<std::string> sources = {
      "{\"a\":[1,-2.5e+3,true,false,null],\"b\":{\"c\":\"d\\n\\u00e9\\ud83d\\ude00\"},\"\":0}",
      "[\n  {\n    \"x\": 1.0,\n    \"y\": -0\n  },\r\n  \"\xE2\x82\xAC\\\"\"\n]",
      "{\"success\":true,\"data\":{\"items\":[{\"id\":1},{\"id\":2}]},\"error\":null}",
      "\"\\\\\\/\\b\\f\\n\\r\\t\\u0041\\uD834\\uDD1E\"",
      "-12345.678e-9",
      "[[[[[[[]]]]]]]",
      "{\"a\":{\"b\":{\"c\":{\"d\":[true,false,null]}}}}",
      "123456789012345678901234"};
  for (std::size_t i = 0; i < 12; ++i) sources.push_back(docs[i * 7]);
  for (const std::string& s : sources) {
    for (std::size_t n = 0; n < s.size(); ++n) in.add(s.substr(0, n));
    for (std::size_t n = 0; n < s.size(); ++n) in.add(s.substr(0, n) + s.substr(n + 1));
    in.add(s + ",");
    in.add(s + " x");
    in.add(s + s);
  }
  const std::vector<std::string> bytes = {"\0"s, "\"",   "\\",   "[", "]", "{", "}",
                                          ",",   ":",    "-",    "0", "e", ".", " ",
                                          "\n",  "\x80", "\xFF", "a", "u"};
  for (int n = 0; n < 1500; ++n) {
    std::string s = docs[rng.below(docs.size())];
    for (std::uint64_t k = 1 + rng.below(3); k > 0; --k) {
      const std::size_t at = rng.below(s.size() + 1);
      switch (rng.below(3)) {
        case 0:
          s.insert(at, pick(rng, bytes));
          break;
        case 1:
          if (at < s.size()) s.erase(at, 1);
          break;
        default:
          if (at < s.size()) s.replace(at, 1, pick(rng, bytes));
          break;
      }
    }
    in.add(s);
  }
}

// ---- large documents ----

std::string ui_element(Rng& rng, int depth, int& budget) {
  static const std::vector<std::string> ROLES = {"window", "group", "button", "text", "list",
                                                 "row",    "image", "field",  "menu", "toolbar"};
  // One draw per statement: the order of operands of + is unspecified.
  std::string e = "{\"role\":\"" + pick(rng, ROLES);
  e += "\",\"title\":\"Item " + std::to_string(rng.below(10000));
  if (rng.below(5) == 0) e += " \xE2\x80\x94 caf\xC3\xA9";
  e += "\",\"frame\":{\"x\":" + std::to_string(rng.below(3000));
  e += ",\"y\":" + std::to_string(rng.below(2000));
  e += ",\"width\":" + std::to_string(1 + rng.below(800));
  e += ",\"height\":" + std::to_string(1 + rng.below(600));
  e += std::string("},\"enabled\":") + (rng.below(4) ? "true" : "false") + ",\"value\":";
  e += rng.below(3) ? "null" : "\"v\\t" + std::to_string(rng.next()) + "\"";
  e += ",\"identifier\":\"id-" + std::to_string(rng.next() % 100000) + "\"";
  --budget;
  if (depth < 8 && budget > 0 && rng.below(3) != 0) {
    e += ",\"children\":[";
    for (std::uint64_t i = 0, n = 1 + rng.below(5); i < n && budget > 0; ++i) {
      if (i) e += ",";
      e += ui_element(rng, depth + 1, budget);
    }
    e += "]";
  }
  return e + "}";
}

void add_large(Inputs& in, Rng& rng) {
  int budget = 220;
  std::string tree = "{\"elements\":[";
  for (int i = 0; budget > 0; ++i) {
    if (i) tree += ",";
    tree += ui_element(rng, 0, budget);
  }
  in.add(tree + "],\"success\":true}");

  std::string points = "[";
  for (int i = 0; i < 1200; ++i) {
    char x[40];
    char y[40];
    *std::to_chars(x, x + 39, static_cast<double>(rng.below(4000000)) / 1000.0).ptr = '\0';
    *std::to_chars(y, y + 39, static_cast<double>(rng.next() >> 11) / 4503599627370496.0).ptr =
        '\0';
    points +=
        (i ? ",\n  " : "\n  ") + (std::string("{\"y\": ") + y + ", \"x\": " + x +
                                  ", \"pressure\": 0." + std::to_string(rng.below(1000)) + "}");
  }
  in.add(points + "\n]");

  static const char BASE64_ALPHABET[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string b64 = "{\"image\":{\"format\":\"png\",\"data\":\"";
  for (int i = 0; i < 48000; ++i) b64.push_back(BASE64_ALPHABET[rng.below(64)]);
  in.add(b64 + "==\",\"scale\":2.0}}");
}

bool read_file(const std::filesystem::path& path, std::string& out) {
  std::ifstream file(path, std::ios::binary);
  out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return file.good() || file.eof();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: golden_record OUT_FILE FUZZ_SEED_DIR\n");
    return 2;
  }
  Inputs in;
  Rng rng(0x601DE11C0A905ull);
  add_basics(in);
  add_white_space(in, rng);
  add_nesting(in);
  add_wide(in, rng);
  add_keys(in, rng);
  add_strings(in);
  add_numbers(in, rng);
  const std::vector<std::string> docs = add_random_documents(in, rng);
  add_truncations_and_mutations(in, rng, docs);
  add_large(in, rng);

  std::vector<std::filesystem::path> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(argv[2])) {
    if (entry.is_regular_file()) seeds.push_back(entry.path());
  }
  std::sort(seeds.begin(), seeds.end());
  for (const auto& path : seeds) {
    std::string bytes;
    if (!read_file(path, bytes)) {
      std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
      return 1;
    }
    in.add(bytes);
  }
  if (seeds.empty()) {
    std::fprintf(stderr, "no fuzz seeds under %s\n", argv[2]);
    return 1;
  }

  std::vector<vtm::golden::GoldenCase> cases;
  std::size_t valid = 0;
  for (const std::string& input : in.list()) {
    vtm::golden::GoldenCase c;
    c.input = input;
    const vtm::Result<vtm::JsonValue> parsed = vtm::parse_json(input);
    c.valid = parsed.ok();
    if (c.valid) {
      c.compact = vtm::to_compact_text(parsed.value());
      c.indented = vtm::to_indented_text(parsed.value());
      ++valid;
    } else {
      c.error = parsed.error();
    }
    cases.push_back(std::move(c));
  }
  const std::string file = vtm::golden::encode_cases(cases);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%zu cases (%zu valid, %zu invalid), %zu bytes\n", cases.size(), valid,
              cases.size() - valid, file.size());
  return 0;
}
