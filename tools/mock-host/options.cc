#include "options.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bridge/frames.h"
#include "cli/run_cli.h"

namespace vtm::mock {
namespace {

static_assert(MAX_PAYLOAD_BYTES_OPTION > MAX_RESPONSE_FRAME_BYTES,
              "--payload-bytes must reach past the client's response limit");

// FIELD is a member of HostOptions, or the path to one through a member struct.
template <auto... FIELD>
auto& field(HostOptions& options) {
  return (options.*....*FIELD);
}

template <auto... FIELD>
Status set_flag(HostOptions& options, std::string_view, std::string_view) {
  field<FIELD...>(options) = true;
  return ok_status();
}

template <auto... FIELD>
Status set_text(HostOptions& options, std::string_view, std::string_view value) {
  field<FIELD...>(options) = std::string(value);
  return ok_status();
}

template <std::uint64_t MIN, std::uint64_t MAX, auto... FIELD>
Status set_number(HostOptions& options, std::string_view option, std::string_view value) {
  auto number = parse_decimal(option, value, MIN, MAX);
  if (!number) return std::move(number).take_failure();
  field<FIELD...>(options) = number.value();
  return ok_status();
}

template <auto FIELD>
Status set_listen(HostOptions& options, std::string_view option, std::string_view value) {
  if (value.empty()) return Failure{std::string(option) + " needs a non-empty path"};
  options.*FIELD = value;
  return ok_status();
}

// A fault's option: the row of the fault table it comes from sets it.
template <std::size_t ROW>
Status set_fault_option(HostOptions& options, std::string_view, std::string_view value) {
  return set_fault(FAULTS[ROW], options.faults, value);
}

template <std::size_t A, std::size_t B, std::size_t C>
constexpr std::array<OptionEntry, A + B + C> joined(const std::array<OptionEntry, A>& a,
                                                    const std::array<OptionEntry, B>& b,
                                                    const std::array<OptionEntry, C>& c) {
  std::array<OptionEntry, A + B + C> all{};
  std::copy(a.begin(), a.end(), all.begin());
  std::copy(b.begin(), b.end(), all.begin() + A);
  std::copy(c.begin(), c.end(), all.begin() + A + B);
  return all;
}

constexpr std::array<OptionEntry, 8> ANSWER_OPTIONS = {{
    {"--listen", "PATH", Role::Required, set_listen<&HostOptions::listen_path>,
     R"(Unix socket path, or \\.\pipe\NAME on Windows)"},
    {"--scenario", "FILE", Role::AnswerSource, set_text<&HostOptions::scenario_file>,
     "answer from the stubs of a scenario file (see mock-host(1))"},
    {"--responses", "FILE", Role::AnswerSource, set_text<&HostOptions::responses_file>,
     "JSON object mapping command word -> response value"},
    {"--echo", "", Role::AnswerSource, set_flag<&HostOptions::echo>,
     "answer with the request itself under data.request"},
    {"--raw", "TEXT", Role::AnswerSource, set_text<&HostOptions::raw_text>,
     "answer every request with exactly these payload bytes"},
    {"--raw-file", "FILE", Role::AnswerSource, set_text<&HostOptions::raw_file>,
     "same, payload bytes from a file"},
    {"--payload-bytes", "N", Role::AnswerSource,
     set_number<1, MAX_PAYLOAD_BYTES_OPTION, &HostOptions::payload_bytes>,
     "answer with a valid JSON payload of exactly N bytes"},
    {"--proxy", "TARGET", Role::AnswerSource, set_listen<&HostOptions::proxy_target>,
     "forward each request to the host at TARGET, relay its answer"},
}};

// The faults' options, in the fault table's order; a fault only stubs can ask for has none.
constexpr std::size_t FAULT_OPTION_COUNT = static_cast<std::size_t>(std::count_if(
    FAULTS.begin(), FAULTS.end(), [](const FaultEntry& f) { return !f.option.empty(); }));

template <std::size_t... ROW>
constexpr std::array<OptionEntry, sizeof...(ROW)> fault_options(std::index_sequence<ROW...>) {
  return {{OptionEntry{FAULTS[ROW].option, FAULTS[ROW].value_name, Role::Fault,
                       set_fault_option<ROW>, FAULTS[ROW].help}...}};
}
static_assert(std::all_of(FAULTS.begin(), FAULTS.begin() + FAULT_OPTION_COUNT,
                          [](const FaultEntry& f) { return !f.option.empty(); }),
              "faults with an option come first in the table");

constexpr std::array<OptionEntry, 10> OTHER_OPTIONS = {{
    {"--delay-ms", "N", Role::Fault,
     set_number<0, MAX_MILLISECONDS, &HostOptions::faults, &Faults::delay_ms>,
     "wait N ms before answering (or, with --close, closing)"},
    {"--record", "FILE", Role::Plain, set_text<&HostOptions::record_file>,
     "write the raw bytes received to FILE (appended per connection)"},
    {"--journal", "FILE", Role::Plain, set_text<&HostOptions::journal_file>,
     "write one JSON line per finished connection to FILE"},
    {"--strict", "", Role::Plain, set_flag<&HostOptions::strict>,
     "unmatched requests and proxy failures fail; exit 3 on unmet expectations"},
    {"--capture", "FILE", Role::Plain, set_text<&HostOptions::capture_file>,
     "with --proxy: append each relayed exchange to FILE as a scenario stub"},
    {"--count", "N", Role::Plain, set_number<1, MAX_U32, &HostOptions::count>,
     "stop after N finished connections (default 1)"},
    {"--idle-ms", "N", Role::Plain, set_number<1, MAX_MILLISECONDS, &HostOptions::idle_ms>,
     "stop after N ms with no connection in flight (default 30000)"},
    {"--timeout-ms", "N", Role::Plain, set_number<1, MAX_MILLISECONDS, &HostOptions::timeout_ms>,
     "time limit for a request to arrive and an answer to be taken (default 30000)"},
    {"--version", "", Role::Plain, set_flag<&HostOptions::version>, "print the version"},
    {"--help", "", Role::Plain, set_flag<&HostOptions::help>, "this text", "-h"},
}};

// Order is the order of the usage text. Every option may be given once.
constexpr auto OPTIONS = joined(
    ANSWER_OPTIONS, fault_options(std::make_index_sequence<FAULT_OPTION_COUNT>{}), OTHER_OPTIONS);

// "--listen PATH", the name alone for a flag, "-h, --help" with a short name.
std::string synopsis(const OptionEntry& entry) {
  std::string text;
  if (!entry.short_name.empty()) {
    text += entry.short_name;
    text += ", ";
  }
  text += entry.name;
  if (!entry.value_name.empty()) {
    text += ' ';
    text += entry.value_name;
  }
  return text;
}

// The answer sources' names, joined by `separator` and the last one by `last`.
std::string answer_source_names(std::string_view separator, std::string_view last) {
  std::vector<std::string_view> names;
  for (const OptionEntry& entry : OPTIONS) {
    if (entry.role == Role::AnswerSource) names.push_back(entry.name);
  }
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? last : separator;
    text += names[i];
  }
  return text;
}

std::string build_usage_text() {
  std::string text = "Usage: mock-host";
  for (const OptionEntry& entry : OPTIONS) {
    if (entry.role == Role::Required) {
      text += ' ';
      text += synopsis(entry);
    }
  }
  text += " [options]\n";
  text += "Stand-in desktop host: answers one length-prefixed JSON request per connection.\n\n";
  constexpr std::size_t HELP_COLUMN = 24;
  for (const OptionEntry& entry : OPTIONS) {
    std::string line = "  ";
    line += synopsis(entry);
    line.resize(std::max(HELP_COLUMN, line.size() + 1), ' ');
    text += line;
    text += entry.help;
    text += '\n';
  }
  text += "\nA value is the next argument or follows \"=\" (--count=5).\n";
  text += "Without ";
  text += answer_source_names(", ", " or ");
  text +=
      ",\nevery command word gets a built-in answer; --scenario with --proxy answers what a\n"
      "stub matches and relays the rest (spy mode). Connections are served side by side.\n"
      "A connection slower than --timeout-ms is closed and its problem journaled; one that\n"
      "sends nothing is not counted. SIGINT, SIGTERM and SIGHUP stop the host as its count\n"
      "would, and end a wait on a file at start-up (a pipe without a writer) with status 0.\n"
      "Prints \"listening on PATH\" once ready. Exit status: 0 when done or idle, 1 when the\n"
      "endpoint or a file it writes fails, 2 on bad usage, a bad or unreadable file, files\n"
      "that would overwrite each other or an endpoint another host serves, 3 when --strict\n"
      "finds an expectation unmet or the proxy failed.\n";
  return text;
}

// Insertions, deletions, substitutions and swaps of two neighbours: the slips of a typist.
std::size_t typing_distance(std::string_view a, std::string_view b) {
  // Three rows of the table: the one before the previous is for the swaps.
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return previous[b.size()];
}

// The known name a mistyped one was most likely meant to be: the nearest, the first of equals,
// and only where at most a third of the longer name's characters differ.
std::optional<std::string_view> nearest_option(std::string_view typed) {
  std::optional<std::string_view> best;
  std::size_t best_distance = 0;
  for (const OptionEntry& entry : OPTIONS) {
    for (std::string_view name : {entry.name, entry.short_name}) {
      if (name.empty()) continue;
      const std::size_t longer = std::max(typed.size(), name.size());
      // The difference in length is a floor of the distance: no need to measure past it.
      if (3 * (longer - std::min(typed.size(), name.size())) > longer) continue;
      const std::size_t distance = typing_distance(typed, name);
      if (3 * distance <= longer && (!best || distance < best_distance)) {
        best = name;
        best_distance = distance;
      }
    }
  }
  return best;
}

Failure unknown_option(std::string_view name) {
  std::string message = "unknown option: " + std::string(name);
  // A word is no option name: a hint for it would only mislead.
  const auto meant = name.starts_with('-') ? nearest_option(name) : std::nullopt;
  if (meant) message += " (did you mean " + std::string(*meant) + "?)";
  return Failure{std::move(message)};
}

const OptionEntry* find_option(std::string_view name) {
  const auto* entry = std::find_if(OPTIONS.begin(), OPTIONS.end(), [&](const OptionEntry& e) {
    return e.name == name || (!e.short_name.empty() && e.short_name == name);
  });
  return entry == OPTIONS.end() ? nullptr : entry;
}

}  // namespace

std::span<const OptionEntry> option_table() { return OPTIONS; }

Result<HostOptions> parse_host_options(const std::vector<std::string>& args) {
  HostOptions options;
  std::array<bool, OPTIONS.size()> given{};

  for (std::size_t i = 0; i < args.size(); ++i) {
    // "--name=value" carries its value; a value of the next argument may hold any "=".
    std::string_view name = args[i];
    std::optional<std::string_view> attached;
    if (const std::size_t equals = name.find('=');
        name.starts_with("--") && equals != std::string_view::npos) {
      attached = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const OptionEntry* entry = find_option(name);
    if (entry == nullptr) return unknown_option(name);
    const std::string option(entry->name);
    std::string_view value;
    if (entry->value_name.empty()) {
      if (attached) return Failure{option + " takes no value"};
    } else if (attached) {
      value = *attached;
    } else {
      if (i + 1 >= args.size()) return Failure{option + " needs a value"};
      value = args[++i];
    }
    // The value is judged before the repetition, so a bad second value names its own fault.
    if (Status set = entry->set(options, option, value); !set) return std::move(set).take_failure();
    // The first of --help and --version wins over everything after it.
    if (options.help || options.version) {
      HostOptions only;
      only.help = options.help;
      only.version = options.version;
      return only;
    }
    bool& seen = given[static_cast<std::size_t>(entry - OPTIONS.begin())];
    if (seen) return Failure{option + " given twice"};
    seen = true;
  }

  std::size_t sources = 0;
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
    if (!given[i] && OPTIONS[i].role == Role::Required) {
      return Failure{synopsis(OPTIONS[i]) + " is required"};
    }
    if (given[i] && OPTIONS[i].role == Role::AnswerSource) ++sources;
  }
  // Spy mode: stubs answer what they match, the proxy's target the rest.
  if (options.scenario_file && options.proxy_target) --sources;
  if (sources > 1) {
    return Failure{"choose at most one of " + answer_source_names(", ", ", ") +
                   " (--scenario may go with --proxy)"};
  }
  if (options.strict && !options.scenario_file && !options.proxy_target) {
    return Failure{"--strict needs --scenario or --proxy"};
  }
  if (options.capture_file && !options.proxy_target) return Failure{"--capture needs --proxy"};
  if (options.proxy_target) {
    for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
      if (given[i] && OPTIONS[i].role == Role::Fault) {
        return Failure{std::string(OPTIONS[i].name) + " cannot shape a relayed answer (--proxy)"};
      }
    }
  }
  return options;
}

std::string_view usage_text() {
  static const std::string TEXT = build_usage_text();
  return TEXT;
}

std::string version_text() { return "mock-host " + std::string(PROGRAM_VERSION) + "\n"; }

}  // namespace vtm::mock
