#pragma once
// The golden record file of the JSON core, shared by the recorder and the test. Layout: the magic
// "vtmgold1\n", then per case a kind byte and byte strings, each behind the 4-byte big-endian
// length prefix of the bridge frames:
//   'V' input, compact text, indented text      (the input parses)
//   'E' input, error message with its position  (it does not)
// Inputs are arbitrary bytes, NUL and invalid UTF-8 included.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bridge/frames.h"

namespace vtm::golden {

inline constexpr std::string_view GOLDEN_MAGIC = "vtmgold1\n";

struct GoldenCase {
  std::string input;
  bool valid = false;
  std::string compact;   // valid cases
  std::string indented;  // valid cases
  std::string error;     // invalid cases
};

inline void append_field(std::string& out, std::string_view bytes) {
  const auto prefix = encode_length_prefix(static_cast<std::uint32_t>(bytes.size()));
  out.append(prefix.data(), prefix.size());
  out.append(bytes);
}

inline std::string encode_cases(const std::vector<GoldenCase>& cases) {
  std::string out(GOLDEN_MAGIC);
  for (const GoldenCase& c : cases) {
    out.push_back(c.valid ? 'V' : 'E');
    append_field(out, c.input);
    if (c.valid) {
      append_field(out, c.compact);
      append_field(out, c.indented);
    } else {
      append_field(out, c.error);
    }
  }
  return out;
}

// False when the file is not a whole, well-formed record file.
inline bool decode_cases(std::string_view file, std::vector<GoldenCase>& cases) {
  if (file.substr(0, GOLDEN_MAGIC.size()) != GOLDEN_MAGIC) return false;
  std::size_t at = GOLDEN_MAGIC.size();
  const auto field = [&](std::string& out) {
    if (file.size() - at < 4) return false;
    const std::size_t n = decode_length_prefix(std::span<const char, 4>(file.data() + at, 4));
    at += 4;
    if (file.size() - at < n) return false;
    out.assign(file.substr(at, n));
    at += n;
    return true;
  };
  while (at < file.size()) {
    GoldenCase c;
    const char kind = file[at++];
    if (kind != 'V' && kind != 'E') return false;
    c.valid = kind == 'V';
    if (!field(c.input)) return false;
    if (c.valid ? !field(c.compact) || !field(c.indented) : !field(c.error)) return false;
    cases.push_back(std::move(c));
  }
  return true;
}

}  // namespace vtm::golden
