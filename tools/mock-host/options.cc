#include "options.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "bridge/frames.h"

namespace vtm::mock {
namespace {

static_assert(MAX_PAYLOAD_BYTES_OPTION > MAX_RESPONSE_FRAME_BYTES,
              "--payload-bytes must reach past the client's response limit");

Result<std::uint64_t> parse_decimal(std::string_view option, std::string_view text,
                                    std::uint64_t min, std::uint64_t max) {
  if (text.empty()) return Failure{std::string(option) + " needs a number"};
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return Failure{std::string(option) + ": not a decimal number: " + std::string(text)};
    }
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (max - digit) / 10) {
      return Failure{std::string(option) + ": " + std::string(text) + " is above " +
                     std::to_string(max)};
    }
    value = value * 10 + digit;
  }
  if (value < min) {
    return Failure{std::string(option) + ": " + std::string(text) + " is below " +
                   std::to_string(min)};
  }
  return value;
}

Result<std::uint32_t> parse_prefix(std::string_view option, std::string_view text) {
  const auto refused = [&] {
    return Failure{std::string(option) + " needs exactly 8 hex digits: " + std::string(text)};
  };
  if (text.size() != 8) return refused();
  std::uint32_t value = 0;
  for (char c : text) {
    std::uint32_t nibble = 0;
    if (c >= '0' && c <= '9') {
      nibble = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      nibble = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      nibble = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return refused();
    }
    value = value << 4 | nibble;
  }
  return value;
}

// Field setters: each checks the value and stores it. `option` is the name for messages.
using Setter = Status (*)(HostOptions& options, std::string_view option, std::string_view value);

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

Status set_prefix(HostOptions& options, std::string_view option, std::string_view value) {
  auto prefix = parse_prefix(option, value);
  if (!prefix) return std::move(prefix).take_failure();
  options.faults.prefix = prefix.value();
  return ok_status();
}

enum class Role {
  Plain,
  Required,
  AnswerSource,  // at most one of these: they all say where answers come from
  Fault,         // shapes the host's own answers, so not a relayed one
};

struct OptionEntry {
  std::string_view name;
  std::string_view value_name;  // empty for a flag
  Role role;
  Setter set;
  std::string_view help;
};

// Order is the order of the usage text. Every option may be given once.
constexpr std::array<OptionEntry, 21> OPTIONS = {{
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
    {"--prefix", "HEX", Role::Fault, set_prefix,
     "send this 8-hex-digit length prefix instead of the real one"},
    {"--short", "N", Role::Fault,
     set_number<0, MAX_U32, &HostOptions::faults, &Faults::short_bytes>,
     "send only the first N payload bytes, then close"},
    {"--close", "", Role::Fault, set_flag<&HostOptions::faults, &Faults::close_without_answer>,
     "read the request, then close without answering"},
    {"--no-read", "", Role::Fault, set_flag<&HostOptions::faults, &Faults::no_read>,
     "don't read the request: answer (or close) at once"},
    {"--extra", "TEXT", Role::Fault, set_text<&HostOptions::faults, &Faults::extra>,
     "after the frame, send these extra bytes too"},
    {"--delay-ms", "N", Role::Fault,
     set_number<0, MAX_MILLISECONDS, &HostOptions::faults, &Faults::delay_ms>,
     "wait N ms before answering"},
    {"--record", "FILE", Role::Plain, set_text<&HostOptions::record_file>,
     "write the raw bytes received to FILE (appended per connection)"},
    {"--journal", "FILE", Role::Plain, set_text<&HostOptions::journal_file>,
     "write one JSON line per finished connection to FILE"},
    {"--strict", "", Role::Plain, set_flag<&HostOptions::strict>,
     "with --scenario: unmatched requests fail; exit 3 on unmet expectations"},
    {"--capture", "FILE", Role::Plain, set_text<&HostOptions::capture_file>,
     "with --proxy: write the exchanges to FILE as a scenario"},
    {"--count", "N", Role::Plain, set_number<1, MAX_U32, &HostOptions::count>,
     "stop after N finished connections (default 1)"},
    {"--idle-ms", "N", Role::Plain, set_number<1, MAX_MILLISECONDS, &HostOptions::idle_ms>,
     "stop after N ms without a connection (default 30000)"},
    {"--help", "", Role::Plain, set_flag<&HostOptions::help>, "this text"},
}};

// "--listen PATH", or the name alone for a flag.
std::string synopsis(const OptionEntry& entry) {
  std::string text(entry.name);
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
  text += "\nWithout ";
  text += answer_source_names(", ", " or ");
  text +=
      ",\nevery command word gets a built-in answer. Connections are served side by side.\n"
      "Prints \"listening on PATH\" once ready. Exit status: 0 when done or idle, 1 when the\n"
      "endpoint or a file it writes fails, 2 on bad usage or a bad scenario, 3 when --strict\n"
      "finds an expectation unmet.\n";
  return text;
}

}  // namespace

Result<HostOptions> parse_host_options(const std::vector<std::string>& args) {
  HostOptions options;
  std::array<bool, OPTIONS.size()> given{};

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    const auto* entry = std::find_if(OPTIONS.begin(), OPTIONS.end(),
                                     [&](const OptionEntry& s) { return s.name == option; });
    if (entry == OPTIONS.end()) return Failure{"unknown option: " + option};
    std::string_view value;
    if (!entry->value_name.empty()) {
      if (i + 1 >= args.size()) return Failure{option + " needs a value"};
      value = args[++i];
    }
    // The value is judged before the repetition, so a bad second value names its own fault.
    if (Status set = entry->set(options, option, value); !set) return std::move(set).take_failure();
    if (options.help) {
      HostOptions help;
      help.help = true;
      return help;
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
  if (options.strict && !options.scenario_file) return Failure{"--strict needs --scenario"};
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

}  // namespace vtm::mock
