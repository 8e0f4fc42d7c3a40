#include "script_file.h"

#include <algorithm>
#include <set>
#include <vector>

#include "cli/vocabulary.h"
#include "host_files.h"
#include "json/parse.h"
#include "json/write.h"

namespace vtm::mock {
namespace {

// " at line L column C" for the byte at offset, counted as the parser counts.
std::string place_of(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, offset);
  const std::size_t line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t line_start =
      before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
  return " at line " + std::to_string(line + 1) + " column " +
         std::to_string(offset - line_start + 1);
}

// The end of the string that opens at text[begin].
std::size_t string_end(std::string_view text, std::size_t begin) {
  std::size_t i = begin + 1;
  while (text[i] != '"') i += text[i] == '\\' ? 2 : 1;
  return i + 1;
}

}  // namespace

Result<std::string> read_script_file(const std::string& path, std::string_view option,
                                     std::uint64_t max_bytes) {
  auto bytes = read_whole_file(path, max_bytes);
  if (!bytes) return Failure{std::string(option) + ": cannot read " + path + ": " + bytes.error()};
  return bytes;
}

std::optional<std::string> repeated_member(std::string_view text) {
  struct Level {
    bool object;
    bool expecting_key;
    std::set<std::string> keys;
  };
  std::vector<Level> levels;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '{' || c == '[') {
      levels.push_back({c == '{', c == '{', {}});
    } else if (c == '}' || c == ']') {
      levels.pop_back();
    } else if (c == ',' && !levels.empty() && levels.back().object) {
      levels.back().expecting_key = true;
    } else if (c == '"') {
      const std::size_t end = string_end(text, i);
      if (!levels.empty() && levels.back().expecting_key) {
        levels.back().expecting_key = false;
        // The text is valid JSON, so the key parses; escapes are resolved before comparing.
        std::string key = parse_json(text.substr(i, end - i)).value().as_string();
        if (!levels.back().keys.insert(key).second) {
          return "repeated member " + to_compact_text(JsonValue(key)) + place_of(text, i);
        }
      }
      i = end - 1;
    }
  }
  return std::nullopt;
}

Result<JsonValue> parse_script_json(std::string_view text, std::string_view name) {
  const std::string prefix = std::string(name) + ": ";
  if (text.starts_with("\xEF\xBB\xBF")) {
    return Failure{prefix + "starts with a byte-order mark; save it as UTF-8 without one"};
  }
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    return Failure{prefix + "the file is empty"};
  }
  auto parsed = parse_json(text);
  if (!parsed) {
    std::string message = parsed.error();
    // Both of the parser's words for it come from a high surrogate without its low half.
    for (std::string_view said :
         {"lone leading surrogate in hex escape", "unexpected end of hex escape"}) {
      if (message.starts_with(said)) {
        message =
            "lone surrogate escape (a \\uD800-\\uDBFF escape needs a \\uDC00-\\uDFFF one right "
            "after it)" +
            message.substr(said.size());
      }
    }
    return Failure{prefix + message};
  }
  if (auto repeated = repeated_member(text)) return Failure{prefix + *repeated};
  return parsed;
}

Status known_command(std::string_view word) {
  if (std::find(COMMAND_WORDS.begin(), COMMAND_WORDS.end(), word) != COMMAND_WORDS.end()) {
    return ok_status();
  }
  return Failure{"unknown command word " + to_compact_text(JsonValue(std::string(word)))};
}

}  // namespace vtm::mock
