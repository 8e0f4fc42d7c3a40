// Number text both ways. In reading order:
//   tables        the powers of ten the fixed recipe multiplies by
//   the full road scan_float and scan_number_exactly: every number by the fixed recipe
//   layout        a significand and a decimal exponent written as fixed or exponent text
//   conversion    f64_from_parts (digits to double), write_float_text (double to shortest
//                 digits, by dragonbox, to text), write_short_float_text (a short float's own
//                 digits to text)
// The quick road (scan_number) is inline in number.h: it runs for every number in a document.
#include "json/number.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include <dragonbox/dragonbox.h>

namespace vtm::json_detail {

namespace {

// The binary64 values nearest to 10^0 .. 10^308.
constexpr double POW10[309] = {
    1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,
    1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22,  1e23,  1e24,  1e25,
    1e26,  1e27,  1e28,  1e29,  1e30,  1e31,  1e32,  1e33,  1e34,  1e35,  1e36,  1e37,  1e38,
    1e39,  1e40,  1e41,  1e42,  1e43,  1e44,  1e45,  1e46,  1e47,  1e48,  1e49,  1e50,  1e51,
    1e52,  1e53,  1e54,  1e55,  1e56,  1e57,  1e58,  1e59,  1e60,  1e61,  1e62,  1e63,  1e64,
    1e65,  1e66,  1e67,  1e68,  1e69,  1e70,  1e71,  1e72,  1e73,  1e74,  1e75,  1e76,  1e77,
    1e78,  1e79,  1e80,  1e81,  1e82,  1e83,  1e84,  1e85,  1e86,  1e87,  1e88,  1e89,  1e90,
    1e91,  1e92,  1e93,  1e94,  1e95,  1e96,  1e97,  1e98,  1e99,  1e100, 1e101, 1e102, 1e103,
    1e104, 1e105, 1e106, 1e107, 1e108, 1e109, 1e110, 1e111, 1e112, 1e113, 1e114, 1e115, 1e116,
    1e117, 1e118, 1e119, 1e120, 1e121, 1e122, 1e123, 1e124, 1e125, 1e126, 1e127, 1e128, 1e129,
    1e130, 1e131, 1e132, 1e133, 1e134, 1e135, 1e136, 1e137, 1e138, 1e139, 1e140, 1e141, 1e142,
    1e143, 1e144, 1e145, 1e146, 1e147, 1e148, 1e149, 1e150, 1e151, 1e152, 1e153, 1e154, 1e155,
    1e156, 1e157, 1e158, 1e159, 1e160, 1e161, 1e162, 1e163, 1e164, 1e165, 1e166, 1e167, 1e168,
    1e169, 1e170, 1e171, 1e172, 1e173, 1e174, 1e175, 1e176, 1e177, 1e178, 1e179, 1e180, 1e181,
    1e182, 1e183, 1e184, 1e185, 1e186, 1e187, 1e188, 1e189, 1e190, 1e191, 1e192, 1e193, 1e194,
    1e195, 1e196, 1e197, 1e198, 1e199, 1e200, 1e201, 1e202, 1e203, 1e204, 1e205, 1e206, 1e207,
    1e208, 1e209, 1e210, 1e211, 1e212, 1e213, 1e214, 1e215, 1e216, 1e217, 1e218, 1e219, 1e220,
    1e221, 1e222, 1e223, 1e224, 1e225, 1e226, 1e227, 1e228, 1e229, 1e230, 1e231, 1e232, 1e233,
    1e234, 1e235, 1e236, 1e237, 1e238, 1e239, 1e240, 1e241, 1e242, 1e243, 1e244, 1e245, 1e246,
    1e247, 1e248, 1e249, 1e250, 1e251, 1e252, 1e253, 1e254, 1e255, 1e256, 1e257, 1e258, 1e259,
    1e260, 1e261, 1e262, 1e263, 1e264, 1e265, 1e266, 1e267, 1e268, 1e269, 1e270, 1e271, 1e272,
    1e273, 1e274, 1e275, 1e276, 1e277, 1e278, 1e279, 1e280, 1e281, 1e282, 1e283, 1e284, 1e285,
    1e286, 1e287, 1e288, 1e289, 1e290, 1e291, 1e292, 1e293, 1e294, 1e295, 1e296, 1e297, 1e298,
    1e299, 1e300, 1e301, 1e302, 1e303, 1e304, 1e305, 1e306, 1e307, 1e308,
};
constexpr std::uint64_t U64_MAX = std::numeric_limits<std::uint64_t>::max();
constexpr std::int64_t I32_MIN = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t I32_MAX = std::numeric_limits<std::int32_t>::max();

// Whether significand * 10 + digit still fits in 64 bits.
bool fits_one_more(std::uint64_t significand, std::uint64_t digit) {
  return significand < U64_MAX / 10 || (significand == U64_MAX / 10 && digit <= U64_MAX % 10);
}

NumberScan failed(NumberScan::Error error, const char* at) {
  NumberScan scan;
  scan.kind = NumberScan::Kind::Error;
  scan.error = error;
  scan.end = at;
  return scan;
}

NumberScan zero(bool negative, const char* end) {
  NumberScan scan;
  scan.kind = NumberScan::Kind::FloatZero;
  scan.negative = negative;
  scan.end = end;
  return scan;
}

// The number of decimal digits of v > 0: bit_width(v) x log10(2), rounded down, is that count
// or one less.
int decimal_length(std::uint64_t v) {
  const int guess = (std::bit_width(v) * 1233) >> 12;
  return guess + (v >= POW10_U64[guess] ? 1 : 0);
}

// Appends to the significand the leading digits of the n digits from q that fit, as the recipe
// takes them one at a time while significand x 10 + digit fits in 64 bits; returns how many. Any
// digits that keep the significand within QUICK_DIGITS_MAX digits surely fit and go eight at a
// time; then one more may still fit, and none after it.
std::size_t take_fitting(std::uint64_t& significand, const char* q, std::size_t n,
                         const char* end) {
  const std::size_t held = significand == 0 ? 0 : decimal_length(significand);
  std::size_t taken = std::min(n, QUICK_DIGITS_MAX - std::min(held, QUICK_DIGITS_MAX));
  significand = significand * POW10_U64[taken] + digits_value(q, taken, end);
  if (taken < n && fits_one_more(significand, static_cast<std::uint64_t>(q[taken] - '0'))) {
    significand = significand * 10 + static_cast<std::uint64_t>(q[taken] - '0');
    ++taken;
  }
  return taken;
}

// p is at ".", "e" or "E" after the integer part, or just past an integer part that overflowed.
NumberScan scan_float(const char* p, const char* end, bool negative, std::uint64_t significand,
                      std::int64_t exponent) {
  if (p < end && *p == '.') {
    ++p;
    const std::size_t count = digit_run(p, end);
    if (count == 0) {
      if (p == end) return failed(NumberScan::Error::EofWhileParsingValue, end);
      return failed(NumberScan::Error::InvalidNumber, p + 1);
    }
    // Fraction digits are taken while they fit, each lowering the exponent; the rest are
    // dropped without changing it. Zeros before the first significant digit always fit.
    const char* const digits = p;
    const char* q = p;
    p += count;
    if (significand == 0) {
      while (q < p && *q == '0') ++q;
    }
    q += take_fitting(significand, q, static_cast<std::size_t>(p - q), end);
    exponent -= q - digits;
  }
  exponent = std::clamp(exponent, I32_MIN, I32_MAX);
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool positive_exponent = true;
    if (p < end && (*p == '+' || *p == '-')) {
      positive_exponent = *p == '+';
      ++p;
    }
    if (p == end) return failed(NumberScan::Error::EofWhileParsingValue, end);
    if (!is_digit(*p)) return failed(NumberScan::Error::InvalidNumber, p + 1);
    std::int32_t explicit_exponent = *p - '0';
    ++p;
    while (p < end && is_digit(*p)) {
      const std::int32_t digit = *p - '0';
      ++p;
      if (explicit_exponent >= I32_MAX / 10 &&
          (explicit_exponent > I32_MAX / 10 || digit > I32_MAX % 10)) {
        if (significand != 0 && positive_exponent) {
          return failed(NumberScan::Error::NumberOutOfRange, p);
        }
        while (p < end && is_digit(*p)) ++p;
        return zero(negative, p);
      }
      explicit_exponent = explicit_exponent * 10 + digit;
    }
    exponent = positive_exponent ? exponent + explicit_exponent : exponent - explicit_exponent;
    exponent = std::clamp(exponent, I32_MIN, I32_MAX);
  }
  if (significand == 0) return zero(negative, p);
  NumberScan scan;
  scan.negative = negative;
  scan.end = p;
  if (significand < SHORT_SIGNIFICAND_LIMIT && exponent >= -SHORT_EXPONENT_LIMIT &&
      exponent <= SHORT_EXPONENT_LIMIT) {
    scan.kind = NumberScan::Kind::ShortFloat;
    scan.value = significand;
    scan.exponent = static_cast<std::int32_t>(exponent);
    return scan;
  }
  double f;
  if (!f64_from_parts(significand, static_cast<std::int32_t>(exponent), f)) {
    return failed(NumberScan::Error::NumberOutOfRange, p);
  }
  if (f == 0.0) return zero(negative, p);
  scan.kind = NumberScan::Kind::Float;
  scan.value = std::bit_cast<std::uint64_t>(negative ? -f : f);
  return scan;
}

// Decimal exponents written in the fixed layout ("0.00001", "1000000000000000.0"); others take
// the exponent layout ("1e-6", "1e+16").
constexpr int FIXED_MIN_EXPONENT = -5;
constexpr int FIXED_MAX_EXPONENT = 15;
// What the fixed layout copies in before and after the digits, covering the whole window.
constexpr char LEADING_ZEROS[] = "0.00000";
constexpr char TRAILING_ZEROS[] = "0000000000000000";
static_assert(1 - FIXED_MIN_EXPONENT < static_cast<int>(sizeof LEADING_ZEROS));
static_assert(FIXED_MAX_EXPONENT < static_cast<int>(sizeof TRAILING_ZEROS));
// Shortest digits of a binary64 value: at most 17.
constexpr int FLOAT_DIGITS_MAX = 17;
constexpr std::size_t LAYOUT_BLOCK = FLOAT_LAYOUT_BLOCK;
static_assert(sizeof TRAILING_ZEROS == LAYOUT_BLOCK + 1 && sizeof LEADING_ZEROS <= LAYOUT_BLOCK);
// The fraction moves up one place as one block: it has at most FLOAT_DIGITS_MAX - 1 digits.
static_assert(FLOAT_DIGITS_MAX - 1 <= static_cast<int>(LAYOUT_BLOCK));

constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

void put_pair(char* o, std::uint32_t pair) { std::memcpy(o, DIGIT_PAIRS + 2 * pair, 2); }

// Eight bytes at o from one word, its lowest byte first.
void store_eight(char* o, std::uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  std::memcpy(o, &v, 8);
}

// The eight digits of v < 10^8, zeros in front, as one word of text (the first digit lowest):
// v splits into halves of four digits, each into pairs, each pair into digits, in all lanes of
// the word at once. Each step divides by a multiply and a shift exact for its lanes' values.
std::uint64_t eight_digit_text(std::uint32_t v) {
  const std::uint32_t high = v / 10'000;
  const std::uint64_t quads = high | (static_cast<std::uint64_t>(v - high * 10'000) << 32);
  // n / 100 = n x 5243 >> 19 for n < 10^4; the lanes are 32 bits apart and stay apart.
  const std::uint64_t hundreds = ((quads * 5243) >> 19) & 0x0000'007F'0000'007F;
  const std::uint64_t pairs = hundreds | ((quads - hundreds * 100) << 16);
  // n / 10 = n x 103 >> 10 for n < 100, in lanes 16 bits apart.
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F'000F'000F'000F;
  return (tens | ((pairs - tens * 10) << 8)) + 0x3030'3030'3030'3030;
}

// The k digits of v (v < 10^k, k <= FLOAT_DIGITS_MAX) at out[0..k), eight at a time; the first
// word loses its leading zeros by a shift, and the bytes it writes past them are written over
// by the next word. Up to 8 - k bytes past the digits are written over too.
void write_digits(char* out, std::uint64_t v, int k) {
  static_assert(FLOAT_DIGITS_MAX <= 17, "one digit above two words");
  if (k > 16) {
    const std::uint64_t top = v / 10'000'000'000'000'000;
    *out++ = static_cast<char>('0' + top);
    v -= top * 10'000'000'000'000'000;
    k = 16;
  }
  if (k > 8) {
    const std::uint64_t high = v / 100'000'000;
    store_eight(out, eight_digit_text(static_cast<std::uint32_t>(high)) >> (8 * (16 - k)));
    store_eight(out + k - 8, eight_digit_text(static_cast<std::uint32_t>(v - high * 100'000'000)));
    return;
  }
  store_eight(out, eight_digit_text(static_cast<std::uint32_t>(v)) >> (8 * (8 - k)));
}

// significand x 10^exponent (significand nonzero, without trailing zeros, at most
// FLOAT_DIGITS_MAX digits d1..dk) in the fixed layout when d1's decimal exponent e is within
// FIXED_MIN_EXPONENT..FIXED_MAX_EXPONENT, in the exponent layout otherwise. The digits are
// written straight into place; out has FLOAT_TEXT_ROOM bytes of room.
char* layout_decimal(char* o, std::uint64_t significand, int exponent, bool negative) {
  const int k = decimal_length(significand);
  const int e = k - 1 + exponent;
  *o = '-';
  o += negative ? 1 : 0;
  if (e >= FIXED_MIN_EXPONENT && e <= FIXED_MAX_EXPONENT) {
    if (e < 0) {
      std::memcpy(o, LEADING_ZEROS, sizeof LEADING_ZEROS);
      o += 1 - e;
      write_digits(o, significand, k);
      return o + k;
    }
    write_digits(o, significand, k);
    if (e < k - 1) {
      // The fraction moves up one place to make room for the point.
      char fraction[LAYOUT_BLOCK];
      std::memcpy(fraction, o + e + 1, LAYOUT_BLOCK);
      std::memcpy(o + e + 2, fraction, LAYOUT_BLOCK);
      o[e + 1] = '.';
      return o + k + 1;
    }
    o += k;
    std::memcpy(o, TRAILING_ZEROS, LAYOUT_BLOCK);
    o += e - k + 1;
    std::memcpy(o, ".0", 2);
    return o + 2;
  }
  // d1 is written one place early, over where the point goes.
  write_digits(o + 1, significand, k);
  o[0] = o[1];
  o[1] = '.';
  o += k > 1 ? k + 1 : 1;
  *o++ = 'e';
  *o++ = e < 0 ? '-' : '+';
  const auto magnitude = static_cast<std::uint32_t>(e < 0 ? -e : e);
  if (magnitude < 10) {
    *o = static_cast<char>('0' + magnitude);
    return o + 1;
  }
  if (magnitude >= 100) *o++ = static_cast<char>('0' + magnitude / 100);
  put_pair(o, magnitude % 100);
  return o + 2;
}

}  // namespace

NumberScan scan_number_exactly(const char* p, const char* end) {
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
    if (p == end) return failed(NumberScan::Error::EofWhileParsingValue, end);
    if (!is_digit(*p)) return failed(NumberScan::Error::InvalidNumber, p + 1);
  }
  std::uint64_t significand = 0;
  if (*p == '0') {
    ++p;
    if (p < end && is_digit(*p)) return failed(NumberScan::Error::InvalidNumber, p + 1);
  } else {
    // The first integer digit that does not fit and all later ones are dropped, each raising
    // the exponent.
    const std::size_t count = digit_run(p, end);
    const std::size_t taken = take_fitting(significand, p, count, end);
    p += count;
    if (taken < count) [[unlikely]] {
      return scan_float(p, end, negative, significand, static_cast<std::int64_t>(count - taken));
    }
  }
  if (p < end && (*p == '.' || *p == 'e' || *p == 'E')) {
    return scan_float(p, end, negative, significand, 0);
  }
  NumberScan scan;
  scan.end = p;
  scan.negative = negative;
  if (!negative) {
    scan.value = significand;
    return scan;
  }
  if (significand == 0) return zero(true, p);
  if (significand <= (std::uint64_t{1} << 63)) {
    scan.kind = NumberScan::Kind::Negative;
    scan.value = 0 - significand;
    return scan;
  }
  scan.kind = NumberScan::Kind::Float;
  scan.value = std::bit_cast<std::uint64_t>(-static_cast<double>(significand));
  return scan;
}

NumberScan long_float(bool negative, const char* digits, std::size_t int_digits,
                      std::size_t fraction_digits, const char* end) {
  // Any QUICK_DIGITS_MAX digits fit: the recipe takes them all, each fraction digit lowering the
  // exponent by one.
  const char* const fraction = digits + int_digits + 1;
  const std::uint64_t significand =
      digits_value(digits, int_digits, end) * POW10_U64[fraction_digits] +
      digits_value(fraction, fraction_digits, end);
  double f = 0;
  // Dividing by at most 10^19 neither overflows nor reaches zero.
  f64_from_parts(significand, -static_cast<std::int32_t>(fraction_digits), f);
  NumberScan scan;
  scan.kind = NumberScan::Kind::Float;
  scan.negative = negative;
  scan.value = std::bit_cast<std::uint64_t>(negative ? -f : f);
  scan.end = fraction + fraction_digits;
  return scan;
}

bool f64_from_parts(std::uint64_t significand, std::int32_t exponent, double& out) {
  double f = static_cast<double>(significand);
  std::int64_t x = exponent;
  while (true) {
    const std::int64_t ax = x < 0 ? -x : x;
    if (ax <= 308) {
      if (x >= 0) {
        f *= POW10[ax];
        if (std::isinf(f)) return false;
      } else {
        f /= POW10[ax];
      }
      break;
    }
    if (f == 0.0) break;
    if (x >= 0) return false;
    f /= 1e308;
    x += 308;
  }
  out = f;
  return true;
}

char* write_float_text(char* out, double value) {
  if (!std::isfinite(value)) {
    std::memcpy(out, "null", 4);
    return out + 4;
  }
  if (value == 0.0) {
    if (std::signbit(value)) *out++ = '-';
    std::memcpy(out, "0.0", 3);
    return out + 3;
  }
  // The shortest digits that read back as the value; of two equally short candidates equally
  // near, the even one. The policies are the written rule: others pick differently on ties.
  namespace policy = jkj::dragonbox::policy;
  const auto decimal =
      jkj::dragonbox::to_decimal(value, policy::sign::return_sign, policy::trailing_zero::remove,
                                 policy::decimal_to_binary_rounding::nearest_to_even,
                                 policy::binary_to_decimal_rounding::to_even, policy::cache::full);
  return layout_decimal(out, decimal.significand, decimal.exponent, decimal.is_negative);
}

char* write_short_float_text(char* out, std::uint64_t significand, std::int32_t exponent,
                             bool negative) {
  while (significand % 10 == 0) {
    significand /= 10;
    ++exponent;
  }
  return layout_decimal(out, significand, exponent, negative);
}

}  // namespace vtm::json_detail
