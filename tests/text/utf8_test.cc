#include "text/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vtm {
namespace {

using Kind = Utf8Sequence::Kind;

// Reference: decode one sequence by the textbook rules; length or 0 when invalid.
std::size_t reference_sequence(const unsigned char* p, std::size_t left) {
  const unsigned char b0 = p[0];
  std::size_t n;
  std::uint32_t cp;
  if (b0 < 0x80) return 1;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    cp = b0 & 0x1Fu;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    cp = b0 & 0x0Fu;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    cp = b0 & 0x07u;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3Fu);
  }
  const std::uint32_t min[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < min[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

bool reference_valid(const std::string& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t n = reference_sequence(p + i, s.size() - i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// The decoder's verdict on a whole text: every sequence in it Complete.
bool decodes_whole(std::string_view s) {
  while (!s.empty()) {
    const Utf8Sequence sequence = decode_utf8_sequence(s);
    if (sequence.kind != Kind::Complete) return false;
    s.remove_prefix(sequence.length);
  }
  return true;
}

// Validator and decoder judge a text alike, and both as the reference does.
void expect_verdict(const std::string& s) {
  const bool valid = reference_valid(s);
  ASSERT_EQ(is_valid_utf8(s), valid) << testing::PrintToString(s);
  ASSERT_EQ(decodes_whole(s), valid) << testing::PrintToString(s);
}

struct Case {
  std::string text;
  bool valid;
  // The first sequence of the text as the decoder sees it.
  Kind kind;
  std::size_t length;
  char32_t code_point;
};

TEST(Utf8Test, Table) {
  const Case cases[] = {
      {"plain ASCII", true, Kind::Complete, 1, U'p'},
      {std::string("\0inside", 7), true, Kind::Complete, 1, 0},
      {"\x7f", true, Kind::Complete, 1, 0x7F},
      {"\xc2\x80", true, Kind::Complete, 2, 0x80},
      {"\xdf\xbf", true, Kind::Complete, 2, 0x7FF},
      {"\xe0\xa0\x80", true, Kind::Complete, 3, 0x800},
      {"\xed\x9f\xbf", true, Kind::Complete, 3, 0xD7FF},
      {"\xee\x80\x80", true, Kind::Complete, 3, 0xE000},
      {"\xef\xbf\xbf", true, Kind::Complete, 3, 0xFFFF},
      {"\xf0\x90\x80\x80", true, Kind::Complete, 4, 0x10000},
      {"\xf4\x8f\xbf\xbf", true, Kind::Complete, 4, 0x10FFFF},
      {"\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", true, Kind::Complete, 2, 0xE9},
      {"\x80", false, Kind::Invalid, 1, 0},
      {"\xbf", false, Kind::Invalid, 1, 0},
      {"\xc0\x80", false, Kind::Invalid, 1, 0},
      {"\xc1\xbf", false, Kind::Invalid, 1, 0},
      {"\xc2", false, Kind::Truncated, 1, 0},
      {"\xc2\x41", false, Kind::Invalid, 1, 0},
      {"\xe0\x80\x80", false, Kind::Invalid, 1, 0},
      {"\xe0\x9f\xbf", false, Kind::Invalid, 1, 0},
      {"\xed\xa0\x80", false, Kind::Invalid, 1, 0},
      {"\xed\xbf\xbf", false, Kind::Invalid, 1, 0},
      {"\xe2\x82", false, Kind::Truncated, 2, 0},
      {"\xe2\x82\x41", false, Kind::Invalid, 2, 0},
      {"\xe2\x82\xe2\x82\xac", false, Kind::Invalid, 2, 0},
      {"\xf0\x80\x80\x80", false, Kind::Invalid, 1, 0},
      {"\xf0\x8f\xbf\xbf", false, Kind::Invalid, 1, 0},
      {"\xf4\x90\x80\x80", false, Kind::Invalid, 1, 0},
      {"\xf5\x80\x80\x80", false, Kind::Invalid, 1, 0},
      {"\xf8\x88\x80\x80\x80", false, Kind::Invalid, 1, 0},
      {"\xfe", false, Kind::Invalid, 1, 0},
      {"\xff", false, Kind::Invalid, 1, 0},
      {"\xf0\x9f", false, Kind::Truncated, 2, 0},
      {"\xf0\x9f\x98", false, Kind::Truncated, 3, 0},
      {"\xf0\x9f\x98\x41", false, Kind::Invalid, 3, 0},
  };
  EXPECT_TRUE(is_valid_utf8(""));
  for (const Case& c : cases) {
    const std::string label = testing::PrintToString(c.text);
    EXPECT_EQ(is_valid_utf8(c.text), c.valid) << label;
    EXPECT_EQ(decodes_whole(c.text), c.valid) << label;
    const Utf8Sequence first = decode_utf8_sequence(c.text);
    EXPECT_EQ(first.kind, c.kind) << label;
    EXPECT_EQ(first.length, c.length) << label;
    EXPECT_EQ(first.code_point, c.code_point) << label;
    // Behind and before ASCII runs of every length around the validator's block sizes, so the
    // skipping reaches the case at every alignment and the tail is checked after it.
    for (std::size_t pad = 0; pad < 70; ++pad) {
      const std::string padded = std::string(pad, 'a') + c.text + std::string(pad % 7, 'z');
      ASSERT_EQ(is_valid_utf8(padded), c.valid) << pad << label;
      const std::string repeated = c.text + std::string(pad, 'b') + c.text;
      ASSERT_EQ(is_valid_utf8(repeated), c.valid) << pad << label;
    }
  }
}

TEST(Utf8Test, AllOneTwoAndThreeByteStrings) {
  std::string s;
  for (int a = 0; a < 256; ++a) {
    s.assign(1, static_cast<char>(a));
    expect_verdict(s);
    for (int b = 0; b < 256; ++b) {
      s.assign({static_cast<char>(a), static_cast<char>(b)});
      expect_verdict(s);
    }
  }
  for (int a = 0x80; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      for (int c = 0; c < 256; ++c) {
        s.assign({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        expect_verdict(s);
      }
    }
  }
}

TEST(Utf8Test, FourByteLeads) {
  std::string s;
  for (int a = 0xF0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      for (int c : {0x00, 0x41, 0x80, 0xBF, 0xC0}) {
        for (int d : {0x00, 0x80, 0x9F, 0xBF, 0xC2}) {
          s.assign({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                    static_cast<char>(d)});
          expect_verdict(s);
        }
      }
    }
  }
}

TEST(Utf8Test, EveryCodePointEncodesAndDecodesBack) {
  std::string all;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    char bytes[MAX_UTF8_SEQUENCE_BYTES];
    const std::size_t length = encode_utf8(bytes, cp);
    const std::size_t shortest = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    ASSERT_EQ(length, shortest) << std::hex << static_cast<std::uint32_t>(cp);
    const Utf8Sequence back = decode_utf8_sequence({bytes, length});
    ASSERT_EQ(back.kind, Kind::Complete) << std::hex << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(back.length, length) << std::hex << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(back.code_point, cp) << std::hex << static_cast<std::uint32_t>(cp);
    encode_utf8(all, cp);
  }
  EXPECT_TRUE(is_valid_utf8(all));
  all.push_back('\xe0');
  EXPECT_FALSE(is_valid_utf8(all));
}

}  // namespace
}  // namespace vtm
