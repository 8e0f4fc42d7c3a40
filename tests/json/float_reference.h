#pragma once
// Float text by the written rule, built from the C library's own digits with plain string
// operations: what the writer's own digit search and layout are checked against.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vtm::testing {

// "[-]d[.ddd]e(+|-)x" laid out as the fixed or the exponent text.
inline std::string layout_scientific(const std::string& s) {
  std::string out;
  std::size_t i = 0;
  if (s[0] == '-') {
    out = "-";
    i = 1;
  }
  std::string digits;
  for (; s[i] != 'e'; ++i) {
    if (s[i] != '.') digits.push_back(s[i]);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int e = std::atoi(s.c_str() + i + 1);
  const int n = static_cast<int>(digits.size());
  if (e >= -5 && e <= 15) {
    if (e < 0)
      return out + std::string("0.") + std::string(static_cast<std::size_t>(-e - 1), '0') + digits;
    if (e < n - 1) return out + digits.substr(0, e + 1) + "." + digits.substr(e + 1);
    return out + digits + std::string(static_cast<std::size_t>(e - n + 1), '0') + ".0";
  }
  out += digits.substr(0, 1);
  if (n > 1) out += "." + digits.substr(1);
  return out + "e" + (e < 0 ? "-" : "+") + std::to_string(e < 0 ? -e : e);
}

inline std::string special_float_text(double d) {
  if (!std::isfinite(d)) return "null";
  return std::signbit(d) ? "-0.0" : "0.0";
}

// From std::to_chars: the shortest digits that read back, the nearest of them, ties to even.
inline std::string to_chars_float_text(double d) {
  if (!std::isfinite(d) || d == 0) return special_float_text(d);
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
  return layout_scientific(std::string(buf, r.ptr));
}

// From printf: the shortest "%.*e" that reads back exactly (printf rounds the exact value).
inline std::string printf_float_text(double d) {
  if (!std::isfinite(d) || d == 0) return special_float_text(d);
  char buf[64];
  for (int k = 1; k <= 17; ++k) {
    std::snprintf(buf, sizeof buf, "%.*e", k - 1, d);
    if (std::strtod(buf, nullptr) == d) break;
  }
  return layout_scientific(buf);
}

}  // namespace vtm::testing
