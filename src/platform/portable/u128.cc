#include "platform/portable/u128.h"

#include <algorithm>

namespace vtm::platform {

std::string u128_to_decimal(UInt128 value) {
  // 2^128 - 1 has 39 digits.
  char digits[40];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  } while (value != 0);
  std::string text(digits, count);
  std::reverse(text.begin(), text.end());
  return text;
}

}  // namespace vtm::platform
