#pragma once
// The bytes that end a run of plain string content, for the parser and the writers alike: the
// quotation mark, the backslash and the control bytes 0x00 to 0x1F. Runs between them are
// handled in bulk, sixteen bytes at a time where SSE2 is there.
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vtm::json_detail {

inline bool is_string_special(unsigned char c) { return c == '"' || c == '\\' || c < 0x20; }

#if defined(__SSE2__)
inline unsigned special_mask16(const char* p, unsigned& high) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control = _mm_set1_epi8(0x1F);
  // max(v, 0x1F) == 0x1F exactly for the unsigned bytes 0x00..0x1F.
  const __m128i special =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                   _mm_cmpeq_epi8(_mm_max_epu8(v, control), control));
  high = static_cast<unsigned>(_mm_movemask_epi8(v));
  return static_cast<unsigned>(_mm_movemask_epi8(special));
}
#endif

// The first special byte in [p, end), or end. `high` collects bit 7 of every byte passed over,
// so the caller knows whether the run held anything but ASCII.
inline const char* find_string_special(const char* p, const char* end, unsigned& high) {
#if defined(__SSE2__)
  while (end - p >= 64) {
    unsigned h0, h1, h2, h3;
    const unsigned m0 = special_mask16(p, h0);
    const unsigned m1 = special_mask16(p + 16, h1);
    const unsigned m2 = special_mask16(p + 32, h2);
    const unsigned m3 = special_mask16(p + 48, h3);
    if ((m0 | m1 | m2 | m3) != 0) break;
    high |= h0 | h1 | h2 | h3;
    p += 64;
  }
  while (end - p >= 16) {
    unsigned h;
    const unsigned m = special_mask16(p, h);
    if (m != 0) {
      const int i = std::countr_zero(m);
      high |= h & ((1u << i) - 1u);
      return p + i;
    }
    high |= h;
    p += 16;
  }
#endif
  for (; p < end; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (is_string_special(c)) return p;
    high |= c & 0x80u;
  }
  return end;
}

}  // namespace vtm::json_detail
