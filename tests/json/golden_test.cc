// The JSON core against its golden corpus, byte for byte: for every recorded input the same
// compact and indented text, or the same error message with the same position.
//
// The corpus (golden/json_corpus.tar.gz, unpacked by CMake at configure time) was recorded by
// golden_record (golden/record.cc: seeded edge cases, random and broken documents, the parse fuzz
// seeds) from the core as it stood before its rewrite. It is the reference: never re-record it
// from a new core to make this test pass. Extend it only with outputs of a trusted build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "golden/golden_records.h"
#include "json/json_printing.h"
#include "json/parse.h"
#include "json/write.h"

namespace vtm {
namespace {

// Printable ASCII as is, everything else as \xNN, cut after `limit` bytes.
std::string excerpt(std::string_view bytes, std::size_t limit = 160) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  if (bytes.size() > limit) out += "... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

// The first differing byte, with a little context on both sides.
std::string difference(std::string_view expected, std::string_view actual) {
  const auto first = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const std::size_t at = static_cast<std::size_t>(first.first - expected.begin());
  const std::size_t from = at < 40 ? 0 : at - 40;
  return "first difference at byte " + std::to_string(at) +
         "\n      expected: " + excerpt(expected.substr(std::min(from, expected.size()), 100)) +
         "\n      actual:   " + excerpt(actual.substr(std::min(from, actual.size()), 100));
}

// What the core answers, in the recorded form: through the owning tree, or through the
// document that borrows its text (the client's road).
golden::GoldenCase answer(const std::string& input, bool borrowed) {
  golden::GoldenCase c;
  c.input = input;
  if (borrowed) {
    std::string text = input;
    const Result<JsonDocument> parsed = parse_document(text);
    c.valid = parsed.ok();
    if (!c.valid) {
      c.error = parsed.error();
      return c;
    }
    // Each also through the smallest buffer, for every recorded document.
    c.compact = rendered(parsed.value(), true);
    c.indented = rendered(parsed.value(), false);
    return c;
  }
  const Result<JsonValue> parsed = parse_json(input);
  c.valid = parsed.ok();
  if (c.valid) {
    c.compact = to_compact_text(parsed.value());
    c.indented = to_indented_text(parsed.value());
  } else {
    c.error = parsed.error();
  }
  return c;
}

std::string mismatch(const golden::GoldenCase& expected, const golden::GoldenCase& actual) {
  const auto outcome = [](const golden::GoldenCase& c) {
    return c.valid ? std::string("parses") : "fails: " + c.error;
  };
  if (expected.valid != actual.valid) {
    return "expected it " + outcome(expected) + "\n    actual: it " + outcome(actual);
  }
  if (!expected.valid) return "error " + difference(expected.error, actual.error);
  if (expected.compact != actual.compact) {
    return "compact text " + difference(expected.compact, actual.compact);
  }
  return "indented text " + difference(expected.indented, actual.indented);
}

bool same(const golden::GoldenCase& a, const golden::GoldenCase& b) {
  return a.valid == b.valid && a.compact == b.compact && a.indented == b.indented &&
         a.error == b.error;
}

TEST(GoldenTest, CoreMatchesRecordedCorpus) {
  std::ifstream file(VTM_GOLDEN_CORPUS, std::ios::binary);
  ASSERT_TRUE(file) << "golden corpus missing: " << VTM_GOLDEN_CORPUS
                    << " (unpacked from tests/golden/json_corpus.tar.gz at configure time)";
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<golden::GoldenCase> cases;
  ASSERT_TRUE(golden::decode_cases(bytes, cases))
      << "golden corpus malformed: " << VTM_GOLDEN_CORPUS;
  ASSERT_GT(cases.size(), 1000u) << "golden corpus truncated";

  std::size_t failures = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    for (const bool borrowed : {false, true}) {
      const golden::GoldenCase actual = answer(cases[i].input, borrowed);
      if (same(cases[i], actual)) continue;
      if (++failures <= 5) {
        ADD_FAILURE() << "case " << i << (borrowed ? " (document)" : " (tree)") << ", input "
                      << excerpt(cases[i].input) << "\n    " << mismatch(cases[i], actual);
      }
    }
  }
  EXPECT_EQ(failures, 0u) << "of " << cases.size() << " golden cases";
}

}  // namespace
}  // namespace vtm
