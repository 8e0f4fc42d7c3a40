#include "platform/portable/command_line.h"

#include <algorithm>

namespace vtm::platform {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<std::u16string> split_command_line(std::u16string_view line) {
  std::vector<std::u16string> split(1);
  std::size_t i = 0;
  bool quoted = false;
  for (; i < line.size() && (quoted || !is_blank(line[i])); ++i) {
    if (line[i] == u'"') {
      quoted = !quoted;
    } else {
      split.front().push_back(line[i]);
    }
  }

  for (;;) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i == line.size()) return split;
    std::u16string& argument = split.emplace_back();
    quoted = false;
    while (i < line.size() && (quoted || !is_blank(line[i]))) {
      if (line[i] == u'\\') {
        const std::size_t run_end = std::min(line.find_first_not_of(u'\\', i), line.size());
        const std::size_t backslashes = run_end - i;
        i = run_end;
        if (i < line.size() && line[i] == u'"') {
          // An even run leaves the quote to the next pass, which opens or closes a run with it.
          argument.append(backslashes / 2, u'\\');
          if (backslashes % 2 == 1) {
            argument.push_back(u'"');
            ++i;
          }
        } else {
          argument.append(backslashes, u'\\');
        }
      } else if (line[i] == u'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument.push_back(u'"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument.push_back(line[i++]);
      }
    }
  }
}

}  // namespace vtm::platform
