#include "cli/vocabulary.h"

#include <algorithm>
#include <utility>

#include "report/output.h"

namespace vtm {
namespace {

Result<ResolvedCommand> resolve_list(std::vector<std::string> rest) {
  if (rest.empty()) return Failure{"list requires apps, windows, or screens"};
  const std::string target = std::move(rest.front());
  const auto* found = std::find_if(LIST_TARGETS.begin(), LIST_TARGETS.end(),
                                   [&](const ListTarget& t) { return t.target == target; });
  if (found == LIST_TARGETS.end()) return Failure{"unsupported list target: " + target};
  // `list windows a b` sends exactly what `window list a b` sends.
  rest.front() = LIST_SHORTHAND;
  return ResolvedCommand{std::string(found->command), std::move(rest)};
}

}  // namespace

Result<ResolvedCommand> resolve_command(std::vector<std::string> words) {
  std::string first = std::move(words.front());
  words.erase(words.begin());
  if (first == LIST_SHORTHAND) return resolve_list(std::move(words));
  if (std::find(COMMAND_WORDS.begin(), COMMAND_WORDS.end(), first) == COMMAND_WORDS.end()) {
    return Failure{"unknown command: " + first};
  }
  return ResolvedCommand{std::move(first), std::move(words)};
}

void print_usage() {
  using platform::StdStream;
  write_output(StdStream::Out, "Vantelmire native computer use\n");
  write_output(StdStream::Out, "Usage: vantelmirectl <command> [options]\n");
  write_output(StdStream::Out, "\n");
  write_output(StdStream::Out, "Commands:\n");
  for (std::string_view word : COMMAND_WORDS) {
    std::string line = "  ";
    line += word;
    line += '\n';
    write_output(StdStream::Out, line);
  }
  write_output(StdStream::Out, "\n");
  write_output(StdStream::Out, "Use --json or --json-output for compact structured output.\n");
}

}  // namespace vtm
