#include "text/utf8.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#endif

namespace vtm {

namespace {

// The one statement of the rules. What a lead byte begins: the sequence length (0: none) and
// the range its second byte must be in. That range carries every rule beyond "continuation
// bytes follow": E0 and F0 exclude overlong forms, ED the surrogates, F4 everything above
// U+10FFFF; C0, C1 and F5..FF begin nothing.
struct LeadRule {
  unsigned length;
  unsigned second_min;
  unsigned second_max;
};

constexpr unsigned CONTINUATION_MIN = 0x80;
constexpr unsigned CONTINUATION_MAX = 0xBF;

constexpr LeadRule lead_rule(unsigned char lead) {
  constexpr unsigned MIN = CONTINUATION_MIN;
  constexpr unsigned MAX = CONTINUATION_MAX;
  if (lead < 0x80) return {1, 0, 0};
  if (lead < 0xC2) return {0, 0, 0};
  if (lead < 0xE0) return {2, MIN, MAX};
  if (lead < 0xF0) return {3, lead == 0xE0 ? 0xA0 : MIN, lead == 0xED ? 0x9F : MAX};
  if (lead < 0xF5) return {4, lead == 0xF0 ? 0x90 : MIN, lead == 0xF4 ? 0x8F : MAX};
  return {0, 0, 0};
}

constexpr bool is_continuation(unsigned char byte) {
  return byte >= CONTINUATION_MIN && byte <= CONTINUATION_MAX;
}

// The validator runs the same rules as a state machine, one table lookup and one shift per
// byte with no branch on the bytes: a state is a bit offset, and the table row of a byte holds,
// at each state's offset, the offset of the state that byte leads to. The lookup depends only on
// the byte, so it never waits for the previous state.
struct Expecting {
  unsigned remaining;  // bytes still to come, the next one in [min, max]
  unsigned min;
  unsigned max;
  friend constexpr bool operator==(const Expecting&, const Expecting&) = default;
};

constexpr unsigned STATE_BITS = 6;
constexpr std::uint64_t ERROR_STATE = 0;  // every row is 0 there: nothing leaves it
constexpr std::uint64_t ACCEPT_STATE = STATE_BITS;

// Finds the states in the middle of a character as the rules lead to them.
struct Machine {
  std::array<Expecting, 7> pending{};  // more than fit fail the constant evaluation
  unsigned pending_count = 0;

  static constexpr std::uint64_t offset(unsigned index) { return (index + 2) * STATE_BITS; }

  constexpr std::uint64_t state_of(Expecting e) {
    for (unsigned i = 0; i < pending_count; ++i) {
      if (pending[i] == e) return offset(i);
    }
    pending[pending_count] = e;
    return offset(pending_count++);
  }

  constexpr std::uint64_t after_accept(unsigned char byte) {
    const LeadRule rule = lead_rule(byte);
    if (rule.length == 0) return ERROR_STATE;
    if (rule.length == 1) return ACCEPT_STATE;
    return state_of({rule.length - 1, rule.second_min, rule.second_max});
  }

  constexpr std::uint64_t after_pending(Expecting e, unsigned char byte) {
    if (byte < e.min || byte > e.max) return ERROR_STATE;
    if (e.remaining == 1) return ACCEPT_STATE;
    return state_of({e.remaining - 1, CONTINUATION_MIN, CONTINUATION_MAX});
  }
};

constexpr std::array<std::uint64_t, 256> build_rows() {
  Machine m;
  std::array<std::uint64_t, 256> rows{};
  // Until a pass finds no new state, so every row holds an entry for every state.
  unsigned known = 0;
  do {
    known = m.pending_count;
    for (unsigned b = 0; b < 256; ++b) {
      const auto byte = static_cast<unsigned char>(b);
      rows[b] = m.after_accept(byte) << ACCEPT_STATE;
      for (unsigned i = 0; i < m.pending_count; ++i) {
        rows[b] |= m.after_pending(m.pending[i], byte) << Machine::offset(i);
      }
    }
  } while (m.pending_count != known);
  return rows;
}

constexpr std::array<std::uint64_t, 256> ROWS = build_rows();

// True when an ASCII run starts here that is worth leaving the machine for: 16 ASCII bytes, or
// an ASCII tail shorter than that.
bool ascii_run_ahead(const unsigned char* p, const unsigned char* end) {
  if (end - p < 16) return true;
  std::uint64_t a;
  std::uint64_t b;
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 8, 8);
  return ((a | b) & 0x8080808080808080ull) == 0;
}

// Skips the ASCII prefix a word (or a vector) at a time; returns the first non-ASCII position.
const unsigned char* skip_ascii(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
  while (end - p >= 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0) break;
    p += 32;
  }
#elif defined(__aarch64__) && defined(__ARM_NEON)
  while (end - p >= 32) {
    if (vmaxvq_u8(vorrq_u8(vld1q_u8(p), vld1q_u8(p + 16))) >= 0x80) break;
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

}  // namespace

Utf8Sequence decode_utf8_sequence(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char lead = bytes[0];
  const LeadRule rule = lead_rule(lead);
  if (rule.length == 0) return {Utf8Sequence::Kind::Invalid, 1, 0};
  // The lead keeps 7, 5, 4 or 3 payload bits for 1, 2, 3 or 4 bytes.
  char32_t code_point = lead & (rule.length == 1 ? 0x7Fu : 0x7Fu >> rule.length);
  for (std::size_t length = 1; length < rule.length; ++length) {
    if (length == text.size()) return {Utf8Sequence::Kind::Truncated, length, 0};
    const unsigned char byte = bytes[length];
    const bool fits =
        length == 1 ? byte >= rule.second_min && byte <= rule.second_max : is_continuation(byte);
    if (!fits) return {Utf8Sequence::Kind::Invalid, length, 0};
    code_point = (code_point << 6) | (byte & 0x3Fu);
  }
  return {Utf8Sequence::Kind::Complete, rule.length, code_point};
}

bool is_valid_utf8(std::string_view text) {
  // Blocks of this many bytes run through the machine between checks for ASCII runs.
  constexpr std::ptrdiff_t BLOCK = 32;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  std::uint64_t state = ACCEPT_STATE;
  while (p != end) {
    // Only between characters may ASCII runs be skipped.
    if (state == ACCEPT_STATE && ascii_run_ahead(p, end)) {
      p = skip_ascii(p, end);
      if (p == end) break;
    }
    const unsigned char* const stop = end - p > BLOCK ? p + BLOCK : end;
    for (; p != stop; ++p) state = ROWS[*p] >> (state & 63);
    state &= 63;
    if (state == ERROR_STATE) return false;
  }
  return state == ACCEPT_STATE;
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

void encode_utf8(std::string& out, std::uint32_t code_point) {
  char bytes[MAX_UTF8_SEQUENCE_BYTES];
  out.append(bytes, encode_utf8(bytes, code_point));
}

}  // namespace vtm
