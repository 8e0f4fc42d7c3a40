#include "text/utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vtm {

namespace {

// Skips the ASCII prefix a word (or a vector) at a time; returns the first non-ASCII position.
const unsigned char* skip_ascii(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
  while (end - p >= 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0) break;
    p += 32;
  }
#endif
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if ((w & 0x8080808080808080ull) != 0) break;
    p += 8;
  }
  while (p < end && *p < 0x80) ++p;
  return p;
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

bool is_valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (true) {
    p = skip_ascii(p, end);
    if (p == end) return true;
    // Sequences of non-ASCII characters are checked one by one until ASCII comes back.
    do {
      const unsigned char b0 = *p;
      const std::ptrdiff_t left = end - p;
      if (b0 < 0x80) {
        ++p;
      } else if (b0 < 0xC2) {
        return false;  // continuation byte without a lead, or overlong two-byte lead
      } else if (b0 < 0xE0) {
        if (left < 2 || !is_continuation(p[1])) return false;
        p += 2;
      } else if (b0 < 0xF0) {
        if (left < 3) return false;
        const unsigned char b1 = p[1];
        // E0 needs A0..BF (no overlongs), ED needs 80..9F (no surrogates).
        const unsigned char lo = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = b0 == 0xED ? 0x9F : 0xBF;
        if (b1 < lo || b1 > hi || !is_continuation(p[2])) return false;
        p += 3;
      } else if (b0 < 0xF5) {
        if (left < 4) return false;
        const unsigned char b1 = p[1];
        // F0 needs 90..BF (no overlongs), F4 needs 80..8F (nothing above U+10FFFF).
        const unsigned char lo = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = b0 == 0xF4 ? 0x8F : 0xBF;
        if (b1 < lo || b1 > hi || !is_continuation(p[2]) || !is_continuation(p[3])) return false;
        p += 4;
      } else {
        return false;
      }
    } while (p < end && *p >= 0x80);
  }
}

std::size_t encode_utf8(char* out, std::uint32_t cp) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

}  // namespace vtm
