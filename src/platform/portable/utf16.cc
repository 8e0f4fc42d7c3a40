#include "platform/portable/utf16.h"

#include "text/utf8.h"

namespace vtm::platform {

namespace {

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::optional<std::string> utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (is_low_surrogate(unit)) return std::nullopt;
    if (!is_high_surrogate(unit)) {
      encode_utf8(out, unit);
      continue;
    }
    if (i + 1 == text.size() || !is_low_surrogate(text[i + 1])) return std::nullopt;
    const char16_t low = text[++i];
    encode_utf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                         (static_cast<char32_t>(low) - 0xDC00));
  }
  return out;
}

std::optional<std::u16string> utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const Utf8Sequence sequence = decode_utf8_sequence(text);
    if (sequence.kind != Utf8Sequence::Kind::Complete) return std::nullopt;
    const char32_t code_point = sequence.code_point;
    if (code_point < 0x10000) {
      out.push_back(static_cast<char16_t>(code_point));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF)));
    }
    text.remove_prefix(sequence.length);
  }
  return out;
}

}  // namespace vtm::platform
