#include "text/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vtm {
namespace {

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

TEST(Utf8Test, Table) {
  const std::pair<std::string, bool> cases[] = {
      {"", true},
      {"plain ASCII", true},
      {std::string("nul\0inside", 10), true},
      {"\x7f", true},
      {"\xc2\x80", true},
      {"\xdf\xbf", true},
      {"\xe0\xa0\x80", true},
      {"\xed\x9f\xbf", true},
      {"\xee\x80\x80", true},
      {"\xef\xbf\xbf", true},
      {"\xf0\x90\x80\x80", true},
      {"\xf4\x8f\xbf\xbf", true},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", true},
      {"\x80", false},
      {"\xbf", false},
      {"\xc0\x80", false},
      {"\xc1\xbf", false},
      {"\xc2", false},
      {"\xc2\x41", false},
      {"\xe0\x80\x80", false},
      {"\xe0\x9f\xbf", false},
      {"\xed\xa0\x80", false},
      {"\xed\xbf\xbf", false},
      {"\xe2\x82", false},
      {"\xe2\x82\x41", false},
      {"\xf0\x80\x80\x80", false},
      {"\xf0\x8f\xbf\xbf", false},
      {"\xf4\x90\x80\x80", false},
      {"\xf5\x80\x80\x80", false},
      {"\xf8\x88\x80\x80\x80", false},
      {"\xfe", false},
      {"\xff", false},
      {"\xf0\x9f\x98", false},
      {"\xf0\x9f\x98\x41", false},
  };
  for (const auto& [text, valid] : cases) {
    EXPECT_EQ(is_valid_utf8(text), valid) << testing::PrintToString(text);
    // Behind a long ASCII run, so the block-wise skipping reaches it at every alignment.
    for (std::size_t pad = 0; pad < 70; ++pad) {
      const std::string padded = std::string(pad, 'a') + text + std::string(pad % 7, 'z');
      ASSERT_EQ(is_valid_utf8(padded), valid) << pad << testing::PrintToString(text);
    }
  }
}

TEST(Utf8Test, AllOneTwoAndThreeByteStrings) {
  std::string s;
  for (int a = 0; a < 256; ++a) {
    s.assign(1, static_cast<char>(a));
    ASSERT_EQ(is_valid_utf8(s), reference_valid(s)) << a;
    for (int b = 0; b < 256; ++b) {
      s.assign({static_cast<char>(a), static_cast<char>(b)});
      ASSERT_EQ(is_valid_utf8(s), reference_valid(s)) << a << " " << b;
    }
  }
  for (int a = 0x80; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      for (int c = 0; c < 256; ++c) {
        s.assign({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        ASSERT_EQ(is_valid_utf8(s), reference_valid(s)) << a << " " << b << " " << c;
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
          ASSERT_EQ(is_valid_utf8(s), reference_valid(s)) << a << " " << b << " " << c << " " << d;
        }
      }
    }
  }
}

TEST(Utf8Test, EveryCodePointEncodes) {
  std::string all;
  for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x80) {
      all.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      all.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      all.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      all.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      all.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      all.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      all.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      all.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      all.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      all.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  EXPECT_TRUE(is_valid_utf8(all));
  all.push_back('\xe0');
  EXPECT_FALSE(is_valid_utf8(all));
}

}  // namespace
}  // namespace vtm
