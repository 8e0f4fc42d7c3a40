#pragma once
// Scenarios: stubs that match a request by its command word and arguments, answer in order and
// move a state, each with its own faults. The player keeps the state and the use counts for all
// connections at once.
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_value.h"
#include "options.h"
#include "result.h"

namespace vtm::mock {

struct Match {
  std::optional<std::string> command;
  std::optional<std::vector<std::string>> arguments;    // the whole list
  std::optional<std::vector<std::string>> starts_with;  // a prefix of it
  std::optional<std::vector<std::string>> contain;      // each one somewhere in it
  // Each option present and followed by its value; a value of nullopt asks only that it is
  // present.
  std::vector<std::pair<std::string, std::optional<std::string>>> options;
};

bool matches(const Match& match, std::string_view command, std::span<const std::string> arguments);

struct Stub {
  JsonValue label;  // its name, or its place in the file for one without
  Match match;
  std::optional<std::uint64_t> times;
  // How often it must have answered by the end; counted only, never limits matching.
  std::optional<std::uint64_t> at_least;
  std::optional<std::uint64_t> at_most;
  std::optional<std::string> requires_state;
  std::optional<std::string> move_to;
  // At most one; with neither the built-in answer goes out.
  std::optional<JsonValue> response;
  std::optional<std::string> raw;  // from "raw" or "rawBase64": any bytes
  Faults faults;
};

inline constexpr std::string_view STARTING_STATE = "Started";

// The whole text of a scenario file; `name` is the file's, for messages. Either one JSON object
// with a "stubs" array, or such an object whole on the first line followed by more stubs, one
// per line: the form a capture grows in. A last line without its line feed that does not parse
// is a capture cut off while writing, and is left out (see cut_last_line).
Result<std::vector<Stub>> parse_scenario(std::string_view text, std::string_view name);
// The note for a last line parse_scenario leaves out, if it left one out.
std::optional<std::string> cut_last_line(std::string_view text, std::string_view name);

// Which stub took a request, and the state around it.
struct Choice {
  const Stub* stub = nullptr;
  std::string state_before;
  std::string state_after;
};

class ScenarioPlayer {
 public:
  explicit ScenarioPlayer(std::vector<Stub> stubs)
      : stubs_(std::move(stubs)), used_(stubs_.size(), 0) {}

  // Before a request is read: the first stub that answers without reading one (noRead), if its
  // state and times allow.
  Choice choose_unread();
  // The first stub in file order that matches, whose required state holds and whose times are
  // not used up. Its use is counted and the state moved in the same step, so parallel requests
  // each see the effect of the ones before.
  Choice choose(std::string_view command, std::span<const std::string> arguments);

  // One line per stub whose times were not used up, as "stub LABEL: used N of M times".
  std::vector<std::string> unused_stubs() const;
  // One line per unmet "expect", as "stub LABEL: expected at least N calls, got C".
  std::vector<std::string> unmet_expectations() const;

 private:
  bool available(std::size_t index) const;
  Choice take(std::size_t index);

  std::vector<Stub> stubs_;
  mutable std::mutex mutex_;
  std::string state_{STARTING_STATE};
  std::vector<std::uint64_t> used_;
};

}  // namespace vtm::mock
