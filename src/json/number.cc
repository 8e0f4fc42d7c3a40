// Number text both ways. In reading order:
//   tables        the powers of ten the fixed recipe multiplies by
//   the full road scan_float and scan_number_exactly: every number by the fixed recipe
//   layout        digits and a decimal exponent laid out as fixed or exponent text
//   conversion    f64_from_parts (digits to double), write_float_text (double to shortest
//                 text), write_short_float_text (a short float's own digits to text)
// The quick road (scan_number) is inline in number.h: it runs for every number in a document.
#include "json/number.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

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

// p is at ".", "e" or "E" after the integer part, or just past an integer part that overflowed.
NumberScan scan_float(const char* p, const char* end, bool negative, std::uint64_t significand,
                      std::int64_t exponent) {
  if (p < end && *p == '.') {
    ++p;
    const char* const digits = p;
    // Fraction digits are taken while they fit; the rest are dropped without changing the
    // exponent.
    while (p < end && is_digit(*p)) {
      const auto digit = static_cast<std::uint64_t>(*p - '0');
      if (!fits_one_more(significand, digit)) {
        while (p < end && is_digit(*p)) ++p;
        break;
      }
      significand = significand * 10 + digit;
      --exponent;
      ++p;
    }
    if (p == digits) {
      if (p == end) return failed(NumberScan::Error::EofWhileParsingValue, end);
      return failed(NumberScan::Error::InvalidNumber, p + 1);
    }
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

// Digits d[0..k) with decimal exponent e (value d.ddd x 10^e) in the fixed layout for
// exponents FIXED_MIN_EXPONENT..FIXED_MAX_EXPONENT and the exponent layout otherwise. digits
// holds 32 readable bytes and out FLOAT_TEXT_ROOM bytes of room: copies move whole blocks and
// the end pointer trims them.
char* layout_float(char* o, const char* digits, int k, int e, bool negative) {
  const auto copy32 = [](char* to, const char* from) { std::memcpy(to, from, 32); };
  *o = '-';
  o += negative ? 1 : 0;
  if (e >= FIXED_MIN_EXPONENT && e <= FIXED_MAX_EXPONENT) {
    if (e < 0) {
      std::memcpy(o, LEADING_ZEROS, sizeof LEADING_ZEROS);
      o += 1 - e;
      copy32(o, digits);
      return o + k;
    }
    if (e < k - 1) {
      copy32(o, digits);
      o += e + 1;
      copy32(o + 1, digits + e + 1);
      *o = '.';
      return o + 1 + (k - e - 1);
    }
    copy32(o, digits);
    o += k;
    std::memcpy(o, TRAILING_ZEROS, sizeof TRAILING_ZEROS - 1);
    o += e - k + 1;
    std::memcpy(o, ".0", 2);
    return o + 2;
  }
  o[0] = digits[0];
  o[1] = '.';
  copy32(o + 2, digits + 1);
  o += k > 1 ? k + 1 : 1;
  *o++ = 'e';
  *o++ = e < 0 ? '-' : '+';
  return std::to_chars(o, o + 4, e < 0 ? -e : e).ptr;
}

constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of v (below 10^16) at the start of out; returns their count.
int put_digits(char* out, std::uint64_t v) {
  int k = 1;
  for (std::uint64_t p = 10; k < 16 && v >= p; p *= 10) ++k;
  char* o = out + k;
  while (v >= 100) {
    o -= 2;
    std::memcpy(o, DIGIT_PAIRS + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) {
    o -= 2;
    std::memcpy(o, DIGIT_PAIRS + 2 * v, 2);
  } else {
    *--o = static_cast<char>('0' + v);
  }
  return k;
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
    significand = static_cast<std::uint64_t>(*p - '0');
    ++p;
    while (p < end && is_digit(*p)) {
      const auto digit = static_cast<std::uint64_t>(*p - '0');
      if (!fits_one_more(significand, digit)) [[unlikely]] {
        // The first integer digit that does not fit and all later ones are dropped.
        std::int64_t exponent = 0;
        while (p < end && is_digit(*p)) {
          ++p;
          ++exponent;
        }
        return scan_float(p, end, negative, significand, exponent);
      }
      significand = significand * 10 + digit;
      ++p;
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
  // Shortest round-trip digits (nearest on ties) as [-]d[.ddd]e(+|-)xx, then laid out anew.
  char sci[40];
  const char* const sci_end =
      std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific).ptr;
  char digits[48] = {};
  const char* p = sci;
  int k = 0;
  digits[k++] = *p++;
  if (*p == '.') {
    ++p;
    while (*p != 'e') digits[k++] = *p++;
  }
  ++p;  // 'e'
  const bool negative_exponent = *p == '-';
  ++p;
  int e = 0;
  while (p < sci_end) e = e * 10 + (*p++ - '0');
  return layout_float(out, digits, k, negative_exponent ? -e : e, std::signbit(value));
}

char* write_short_float_text(char* out, std::uint64_t significand, std::int32_t exponent,
                             bool negative) {
  while (significand % 10 == 0) {
    significand /= 10;
    ++exponent;
  }
  char digits[48] = {};
  const int k = put_digits(digits, significand);
  return layout_float(out, digits, k, k - 1 + exponent, negative);
}

}  // namespace vtm::json_detail
