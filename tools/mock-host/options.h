#pragma once
// The host's command line: what to listen on, how to answer, and which faults to inject.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "faults.h"
#include "result.h"

namespace vtm::mock {

struct HostOptions {
  bool help = false;
  bool version = false;
  std::string listen_path;

  // Answer source; at most one of these is set.
  std::optional<std::string> responses_file;
  bool echo = false;
  std::optional<std::string> raw_text;
  std::optional<std::string> raw_file;
  std::optional<std::uint64_t> payload_bytes;
  std::optional<std::string> scenario_file;
  std::optional<std::string> proxy_target;

  Faults faults;

  std::optional<std::string> record_file;
  std::optional<std::string> journal_file;
  std::optional<std::string> capture_file;
  bool strict = false;
  std::uint64_t count = 1;
  std::uint64_t idle_ms = 30000;
  std::uint64_t timeout_ms = 30000;

  bool operator==(const HostOptions&) const = default;
};

// Field setters: each checks the value and stores it. `option` is the name for messages.
using Setter = Status (*)(HostOptions& options, std::string_view option, std::string_view value);

enum class Role {
  Plain,
  Required,
  AnswerSource,  // at most one of these: they all say where answers come from
  Fault,         // shapes the host's own answers, so not a relayed one
};

// A row of the option table, from which the parser, the usage text and the completions' checks
// are made. An option that takes a value takes it as the next argument or after "=".
struct OptionEntry {
  std::string_view name;
  std::string_view value_name;  // empty for a flag
  Role role;
  Setter set;
  std::string_view help;
  std::string_view short_name = {};  // a second spelling, as "-h" is of "--help"
};

// In the order of the usage text.
std::span<const OptionEntry> option_table();

// A failure message names the offending option; the caller adds the usage hint.
Result<HostOptions> parse_host_options(const std::vector<std::string>& args);

std::string_view usage_text();
// What --version prints.
std::string version_text();

// Largest payload --payload-bytes builds: above the response limit, so oversize answers can be
// produced, yet small enough to hold in memory.
inline constexpr std::uint64_t MAX_PAYLOAD_BYTES_OPTION = 268'435'456;

// Bounds of the numbers the command line and scenario files take: waits fit the OS's signed
// 32-bit millisecond timeouts, counts and byte counts 32 bits.
inline constexpr std::uint64_t MAX_MILLISECONDS = std::numeric_limits<std::int32_t>::max();
inline constexpr std::uint64_t MAX_U32 = std::numeric_limits<std::uint32_t>::max();

// The time limit for a request to arrive, and for an answer to be taken, as the listener takes
// it.
inline int io_timeout_ms(const HostOptions& options) {
  return static_cast<int>(
      std::min<std::uint64_t>(options.timeout_ms, std::numeric_limits<int>::max()));
}
inline int idle_limit_ms(const HostOptions& options) {
  return static_cast<int>(
      std::min<std::uint64_t>(options.idle_ms, std::numeric_limits<int>::max()));
}

}  // namespace vtm::mock
