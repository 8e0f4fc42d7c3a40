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
// 0xFF in every lane that holds a special byte.
inline __m128i special_lanes(__m128i v) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control = _mm_set1_epi8(0x1F);
  // max(v, 0x1F) == 0x1F exactly for the unsigned bytes 0x00..0x1F.
  return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                      _mm_cmpeq_epi8(_mm_max_epu8(v, control), control));
}

inline __m128i load16(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
#endif

// The first special byte in [p, end), or end. `high` collects bit 7 of every byte passed over
// (not bit by bit: it is nonzero exactly when one of them had it), so the caller knows whether
// the run held anything but ASCII.
inline const char* find_string_special(const char* p, const char* end, unsigned& high) {
#if defined(__SSE2__)
  while (end - p >= 16) {
    const __m128i v = load16(p);
    const auto m = static_cast<unsigned>(_mm_movemask_epi8(special_lanes(v)));
    const auto h = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (m != 0) {
      const int i = std::countr_zero(m);
      high |= h & ((1u << i) - 1u);
      return p + i;
    }
    high |= h;
    p += 16;
    // Most strings end within their first sixteen bytes; a longer run goes 64 at a time, with
    // the lane masks merged so that each block costs one test.
    __m128i seen = _mm_setzero_si128();
    while (end - p >= 64) {
      const __m128i a = load16(p);
      const __m128i b = load16(p + 16);
      const __m128i c = load16(p + 32);
      const __m128i d = load16(p + 48);
      const __m128i special = _mm_or_si128(_mm_or_si128(special_lanes(a), special_lanes(b)),
                                           _mm_or_si128(special_lanes(c), special_lanes(d)));
      if (_mm_movemask_epi8(special) != 0) break;
      seen = _mm_or_si128(seen, _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)));
      p += 64;
    }
    high |= static_cast<unsigned>(_mm_movemask_epi8(seen));
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
