#pragma once
// The bytes that end a run of plain string content, for the parser and the writers alike: the
// quotation mark, the backslash and the control bytes 0x00 to 0x1F. Runs between them are
// handled in bulk, sixteen bytes at a time with SSE2 (x86-64) or NEON (arm64). So are runs of
// white space between tokens (an indented line's start).
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#define VTM_STRING_SCAN_LANES 1
#elif defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#define VTM_STRING_SCAN_LANES 1
#endif

namespace vtm::json_detail {

inline bool is_string_special(unsigned char c) { return c == '"' || c == '\\' || c < 0x20; }

// Sixteen bytes at a time: a load, the lanes holding a special byte (0xFF in each), an or, and
// a mask of lanes with MASK_BITS bits per lane, lane 0 lowest.
#if defined(__SSE2__)
using Lanes = __m128i;
inline constexpr int MASK_BITS = 1;
inline Lanes load16(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline Lanes special_lanes(Lanes v) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control = _mm_set1_epi8(0x1F);
  // max(v, 0x1F) == 0x1F exactly for the unsigned bytes 0x00..0x1F.
  return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                      _mm_cmpeq_epi8(_mm_max_epu8(v, control), control));
}
inline Lanes space_lanes(Lanes v) {
  return _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))));
}
inline Lanes or_lanes(Lanes a, Lanes b) { return _mm_or_si128(a, b); }
inline Lanes no_lanes() { return _mm_setzero_si128(); }
// From bit 7 of each lane: for special_lanes' answer, the lane mask; for bytes, the non-ASCII.
inline std::uint64_t lane_mask(Lanes lanes) {
  return static_cast<unsigned>(_mm_movemask_epi8(lanes));
}
inline std::uint64_t high_mask(Lanes v) { return lane_mask(v); }
#elif defined(VTM_STRING_SCAN_LANES)
using Lanes = uint8x16_t;
inline constexpr int MASK_BITS = 4;
inline Lanes load16(const char* p) { return vld1q_u8(reinterpret_cast<const std::uint8_t*>(p)); }
inline Lanes special_lanes(Lanes v) {
  return vorrq_u8(vorrq_u8(vceqq_u8(v, vdupq_n_u8('"')), vceqq_u8(v, vdupq_n_u8('\\'))),
                  vcleq_u8(v, vdupq_n_u8(0x1F)));
}
inline Lanes space_lanes(Lanes v) {
  return vorrq_u8(vorrq_u8(vceqq_u8(v, vdupq_n_u8(' ')), vceqq_u8(v, vdupq_n_u8('\n'))),
                  vorrq_u8(vceqq_u8(v, vdupq_n_u8('\r')), vceqq_u8(v, vdupq_n_u8('\t'))));
}
inline Lanes or_lanes(Lanes a, Lanes b) { return vorrq_u8(a, b); }
inline Lanes no_lanes() { return vdupq_n_u8(0); }
// NEON has no byte mask: narrowing each 16-bit pair by 4 keeps a nibble of every lane.
inline std::uint64_t lane_mask(Lanes lanes) {
  return vget_lane_u64(vreinterpret_u64_u8(vshrn_n_u16(vreinterpretq_u16_u8(lanes), 4)), 0);
}
inline std::uint64_t high_mask(Lanes v) { return lane_mask(vtstq_u8(v, vdupq_n_u8(0x80))); }
#endif

// The first special byte in [p, end), or end. `high` collects bit 7 of every byte passed over
// (not bit by bit: it is nonzero exactly when one of them had it), so the caller knows whether
// the run held anything but ASCII.
inline const char* find_string_special(const char* p, const char* end, unsigned& high) {
#if defined(VTM_STRING_SCAN_LANES)
  // Nonzero exactly when the mask is.
  const auto fold = [](std::uint64_t mask) { return static_cast<unsigned>(mask | mask >> 32); };
  while (end - p >= 16) {
    const Lanes v = load16(p);
    const std::uint64_t m = lane_mask(special_lanes(v));
    const std::uint64_t h = high_mask(v);
    if (m != 0) {
      const int bit = std::countr_zero(m);
      high |= fold(h & ((std::uint64_t{1} << bit) - 1u));
      return p + bit / MASK_BITS;
    }
    high |= fold(h);
    p += 16;
    // Most strings end within their first sixteen bytes; a longer run goes 64 at a time, with
    // the lane masks merged so that each block costs one test.
    Lanes seen = no_lanes();
    while (end - p >= 64) {
      const Lanes a = load16(p);
      const Lanes b = load16(p + 16);
      const Lanes c = load16(p + 32);
      const Lanes d = load16(p + 48);
      const Lanes special = or_lanes(or_lanes(special_lanes(a), special_lanes(b)),
                                     or_lanes(special_lanes(c), special_lanes(d)));
      if (lane_mask(special) != 0) break;
      seen = or_lanes(seen, or_lanes(or_lanes(a, b), or_lanes(c, d)));
      p += 64;
    }
    high |= fold(high_mask(seen));
  }
#endif
  for (; p < end; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (is_string_special(c)) return p;
    high |= c & 0x80u;
  }
  return end;
}

inline bool is_space(char c) {
  const auto u = static_cast<unsigned char>(c);
  constexpr std::uint64_t SPACE_MASK =
      (1ull << ' ') | (1ull << '\t') | (1ull << '\n') | (1ull << '\r');
  return u <= ' ' && ((SPACE_MASK >> u) & 1u) != 0;
}

// The first byte in [p, end) that is not white space (space, tab, line feed, carriage return),
// or end.
inline const char* skip_space_run(const char* p, const char* end) {
#if defined(VTM_STRING_SCAN_LANES)
  constexpr std::uint64_t ALL_LANES = MASK_BITS == 1 ? 0xFFFF : ~std::uint64_t{0};
  while (end - p >= 16) {
    const std::uint64_t other = ~lane_mask(space_lanes(load16(p))) & ALL_LANES;
    if (other != 0) return p + std::countr_zero(other) / MASK_BITS;
    p += 16;
  }
#endif
  while (p < end && is_space(*p)) ++p;
  return p;
}

}  // namespace vtm::json_detail
