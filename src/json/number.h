#pragma once
// Number text in both directions: reading the JSON number grammar into one of the held
// representations (by the fixed lossy float recipe), and writing floats in the fixed/exponent
// layout. Writing works into caller-sized buffers: the text is at most FLOAT_TEXT_MAX bytes,
// and the writers need FLOAT_TEXT_ROOM bytes of room (they copy in fixed-size blocks; both in
// limits.h).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "json/limits.h"

namespace vtm::json_detail {

// A float given exactly by at most 15 significant digits and a small power of ten: its
// conversion is one correctly rounded operation, so its shortest round-trip digits are its own
// digits and its text needs no binary conversion at all.
inline constexpr int SHORT_SIGNIFICAND_DIGITS = 15;
inline constexpr std::uint64_t SHORT_SIGNIFICAND_LIMIT = 1'000'000'000'000'000;  // 10^15
inline constexpr int SHORT_EXPONENT_LIMIT = 22;  // 10^22 is the largest exact power of ten

// The quick road reads at most this many digits in all: any 19 digits fit in 64 bits.
inline constexpr std::size_t QUICK_DIGITS_MAX = 19;
static_assert(9'999'999'999'999'999'999u <= ~std::uint64_t{0});

struct NumberScan {
  enum class Kind : std::uint8_t {
    Unsigned,    // value: the integer; its text is canonical
    Negative,    // value: the integer as two's complement; its text is canonical
    FloatZero,   // a float zero; negative says which (integer 0 is Unsigned)
    ShortFloat,  // value: significand (nonzero, below 10^15), exponent within +-22
    Float,       // value: the bits of the double
    Error,
  };
  enum class Error : std::uint8_t { EofWhileParsingValue, InvalidNumber, NumberOutOfRange };

  Kind kind = Kind::Unsigned;
  bool negative = false;
  // A ShortFloat whose text is already its written form ("12.5", "0.0042", "100.0").
  bool plain = false;
  // Whether value is filled in; else scanned_value reads it from the text.
  bool valued = true;
  Error error = Error::InvalidNumber;
  std::int32_t exponent = 0;
  std::uint64_t value = 0;
  // Just past the number, or the error position (end of input for the EOF error).
  const char* end = nullptr;
};

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// p is at "-" or a digit, p < end. Every case by the full recipe.
NumberScan scan_number_exactly(const char* p, const char* end);

// 10^0 .. 10^19: every power of ten in 64 bits.
inline constexpr std::uint64_t POW10_U64[20] = {1,
                                                10,
                                                100,
                                                1'000,
                                                10'000,
                                                100'000,
                                                1'000'000,
                                                10'000'000,
                                                100'000'000,
                                                1'000'000'000,
                                                10'000'000'000,
                                                100'000'000'000,
                                                1'000'000'000'000,
                                                10'000'000'000'000,
                                                100'000'000'000'000,
                                                1'000'000'000'000'000,
                                                10'000'000'000'000'000,
                                                100'000'000'000'000'000,
                                                1'000'000'000'000'000'000,
                                                10'000'000'000'000'000'000u};

// Eight bytes from q as one word, the first byte lowest.
inline std::uint64_t load_eight(const char* q) {
  std::uint64_t v;
  std::memcpy(&v, q, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

inline constexpr std::uint64_t ASCII_ZEROS = 0x3030303030303030;

// The value of eight digits, already less '0' each, the first digit in the lowest byte: pairs,
// then quads, then the whole by multiplications instead of eight dependent steps.
inline std::uint32_t eight_digits_value(std::uint64_t v) {
  v = v * 10 + (v >> 8);
  v = (((v & 0x0000'00FF'0000'00FF) * (100 + (1'000'000ull << 32))) +
       (((v >> 16) & 0x0000'00FF'0000'00FF) * (1 + (10'000ull << 32)))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

// The value of the n digits from q (n <= QUICK_DIGITS_MAX, so it fits), eight at a time where
// the text has eight bytes to read.
inline std::uint64_t digits_value(const char* q, std::size_t n, const char* const end) {
  std::uint64_t v = 0;
  for (; n >= 8; n -= 8, q += 8)
    v = v * 100'000'000 + eight_digits_value(load_eight(q) - ASCII_ZEROS);
  if (n == 0) return v;
  if (end - q >= 8) {
    // The digits move to the top bytes and zeros come in below them; the bytes past the digits
    // fall off the top (a borrow from them only runs upwards).
    return v * POW10_U64[n] + eight_digits_value((load_eight(q) - ASCII_ZEROS) << (8 * (8 - n)));
  }
  for (; n != 0; --n, ++q) v = v * 10 + static_cast<unsigned>(*q - '0');
  return v;
}

// A number of at most QUICK_DIGITS_MAX digits in all, with a fraction and more significant digits
// than a short float holds: its double by the fixed recipe, from the digits the quick road
// measured.
NumberScan long_float(bool negative, const char* digits, std::size_t int_digits,
                      std::size_t fraction_digits, const char* end);

// The number of digits from q on, eight bytes at a time where the text has them (a branch per
// digit would be missed wherever number lengths vary).
inline std::size_t digit_run(const char* q, const char* const end) {
  // A lone digit first, by a branch: where it is the rule (arrays of zeros or flags) the branch
  // is foreseen and the parse runs ahead, where the count below would put the length on the
  // path to every later byte.
  if (end - q >= 2 && is_digit(q[0]) && !is_digit(q[1])) return 1;
  const char* const start = q;
  while (end - q >= 8) {
    const std::uint64_t v = load_eight(q);
    // Digits become 0 to 9; any other byte gets bit 7, by itself or by adding 0x76 (a carry
    // out of such a byte only reaches bytes after it).
    const std::uint64_t x = v ^ ASCII_ZEROS;
    const std::uint64_t other = ((x + 0x7676767676767676) | x) & 0x8080808080808080;
    if (other != 0) return static_cast<std::size_t>(q - start) + std::countr_zero(other) / 8;
    q += 8;
  }
  while (q < end && is_digit(*q)) ++q;
  return static_cast<std::size_t>(q - start);
}

// The same, with a quick road for the numbers that dominate real documents: at most
// QUICK_DIGITS_MAX digits in all and no exponent part. The quick road only measures and classifies;
// the value is read when a caller needs it (scanned_value).
inline NumberScan scan_number(const char* p, const char* const end) {
  const char* q = p;
  NumberScan scan;
  scan.negative = *q == '-';
  q += scan.negative ? 1 : 0;
  const char* const digits = q;
  const std::size_t int_digits = digit_run(q, end);
  q += int_digits;
  // A leading zero must stand alone; anything unusual goes the full way.
  if (int_digits == 0 || int_digits > QUICK_DIGITS_MAX || (*digits == '0' && int_digits > 1)) {
    return scan_number_exactly(p, end);
  }
  scan.valued = false;
  if (q == end || (*q != '.' && *q != 'e' && *q != 'E')) {
    scan.end = q;
    if (!scan.negative) {
      scan.kind = NumberScan::Kind::Unsigned;
      return scan;
    }
    // "-0" is a float zero, and only 19 digits can pass the most negative integer.
    if (*digits == '0' || int_digits == QUICK_DIGITS_MAX) return scan_number_exactly(p, end);
    scan.kind = NumberScan::Kind::Negative;
    return scan;
  }
  if (*q != '.') return scan_number_exactly(p, end);
  const char* const fraction = ++q;
  const std::size_t fraction_digits = digit_run(q, end);
  q += fraction_digits;
  if (fraction_digits == 0 || int_digits + fraction_digits > QUICK_DIGITS_MAX ||
      (q < end && (*q == 'e' || *q == 'E'))) {
    return scan_number_exactly(p, end);
  }
  // The significand must be nonzero and below 10^15: its digits from the first nonzero one.
  std::size_t significant = int_digits + fraction_digits;
  if (*digits == '0') {
    const char* first = fraction;
    while (first < q && *first == '0') ++first;
    significant = static_cast<std::size_t>(q - first);
  }
  if (significant > SHORT_SIGNIFICAND_DIGITS) {
    return long_float(scan.negative, digits, int_digits, fraction_digits, end);
  }
  if (significant == 0) return scan_number_exactly(p, end);
  scan.kind = NumberScan::Kind::ShortFloat;
  scan.exponent = -static_cast<std::int32_t>(fraction_digits);
  scan.end = q;
  // The written form strips the fraction's trailing zeros (all but a lone one) and turns to
  // the exponent layout below 0.00001; any other text here is written back as it came.
  if (q[-1] != '0' || fraction_digits == 1) {
    scan.plain = int_digits != 1 || *digits != '0' || fraction_digits < 5 ||
                 (fraction[0] | fraction[1] | fraction[2] | fraction[3] | fraction[4]) != '0';
  }
  return scan;
}

// The value of a scan made from p: the integer (two's complement when negative), a short
// float's significand, or a float's bits.
inline std::uint64_t scanned_value(const char* p, const NumberScan& scan) {
  if (scan.valued) return scan.value;
  // The quick road's digits: at most QUICK_DIGITS_MAX, so they fit.
  std::uint64_t v = 0;
  for (const char* q = p + (scan.negative ? 1 : 0); q < scan.end; ++q) {
    if (*q != '.') v = v * 10 + static_cast<unsigned>(*q - '0');
  }
  return scan.kind == NumberScan::Kind::Negative ? 0 - v : v;
}

// significand x 10^exponent by the fixed recipe (nearest-binary64 power table, repeated
// division by 1e308 beyond it); false when the result would be infinite.
bool f64_from_parts(std::uint64_t significand, std::int32_t exponent, double& out);

// The shortest round-trip text of a finite double ("1.0", "1e+16", "-0.0"); null for NaN and
// infinities. Returns the end of what was written.
char* write_float_text(char* out, double value);

// A ShortFloat's parts in one word (significand in bits 0-49, exponent + 22 in 50-55, sign in
// 56), so that a document holds them in one node.
struct ShortFloatParts {
  std::uint64_t significand;
  std::int32_t exponent;
  bool negative;
};
inline constexpr unsigned SHORT_SIGNIFICAND_BITS = 50;
inline constexpr unsigned SHORT_EXPONENT_BITS = 6;
inline constexpr unsigned SHORT_SIGN_SHIFT = SHORT_SIGNIFICAND_BITS + SHORT_EXPONENT_BITS;
static_assert(SHORT_SIGNIFICAND_LIMIT <= std::uint64_t{1} << SHORT_SIGNIFICAND_BITS,
              "every short significand fits its bits");
static_assert(2 * SHORT_EXPONENT_LIMIT < 1 << SHORT_EXPONENT_BITS,
              "every short exponent, offset by the limit, fits its bits");
static_assert(SHORT_SIGN_SHIFT < 64);
inline std::uint64_t pack_short_float(const ShortFloatParts& parts) {
  return parts.significand |
         (static_cast<std::uint64_t>(parts.exponent + SHORT_EXPONENT_LIMIT)
          << SHORT_SIGNIFICAND_BITS) |
         (std::uint64_t{parts.negative} << SHORT_SIGN_SHIFT);
}
inline ShortFloatParts unpack_short_float(std::uint64_t packed) {
  constexpr std::uint64_t EXPONENT_MASK = (std::uint64_t{1} << SHORT_EXPONENT_BITS) - 1;
  return {packed & ((std::uint64_t{1} << SHORT_SIGNIFICAND_BITS) - 1),
          static_cast<std::int32_t>((packed >> SHORT_SIGNIFICAND_BITS) & EXPONENT_MASK) -
              SHORT_EXPONENT_LIMIT,
          (packed >> SHORT_SIGN_SHIFT) != 0};
}

// The text of a ShortFloat straight from its digits.
char* write_short_float_text(char* out, std::uint64_t significand, std::int32_t exponent,
                             bool negative);

}  // namespace vtm::json_detail
