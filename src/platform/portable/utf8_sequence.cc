#include "platform/portable/utf8_sequence.h"

namespace vtm::platform {

Utf8Sequence next_utf8_sequence(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return {Utf8Sequence::Kind::Complete, 1, lead};

  std::size_t needed = 0;
  char32_t code_point = 0;
  // The second byte's range carries the overlong, surrogate and upper-bound checks.
  unsigned char second_min = 0x80;
  unsigned char second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;
    if (lead == 0xED) second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;
    if (lead == 0xF4) second_max = 0x8F;
  } else {
    return {Utf8Sequence::Kind::Invalid, 1, 0};
  }

  std::size_t length = 1;
  while (length < needed) {
    if (length == text.size()) return {Utf8Sequence::Kind::Truncated, length, 0};
    const auto byte = static_cast<unsigned char>(text[length]);
    const unsigned char min = length == 1 ? second_min : 0x80;
    const unsigned char max = length == 1 ? second_max : 0xBF;
    if (byte < min || byte > max) return {Utf8Sequence::Kind::Invalid, length, 0};
    code_point = (code_point << 6) | (byte & 0x3F);
    ++length;
  }
  return {Utf8Sequence::Kind::Complete, length, code_point};
}

}  // namespace vtm::platform
