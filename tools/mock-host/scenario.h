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
};

bool matches(const Match& match, std::string_view command, std::span<const std::string> arguments);

struct Stub {
  JsonValue label;  // its name, or its place in the file for one without
  Match match;
  std::optional<std::uint64_t> times;
  std::optional<std::string> requires_state;
  std::optional<std::string> move_to;
  // At most one; with neither the built-in answer goes out.
  std::optional<JsonValue> response;
  std::optional<std::string> raw;
  Faults faults;
};

inline constexpr std::string_view STARTING_STATE = "Started";

// The whole text of a scenario file; `name` is the file's, for messages.
Result<std::vector<Stub>> parse_scenario(std::string_view text, std::string_view name);

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

 private:
  bool available(std::size_t index) const;
  Choice take(std::size_t index);

  std::vector<Stub> stubs_;
  mutable std::mutex mutex_;
  std::string state_{STARTING_STATE};
  std::vector<std::uint64_t> used_;
};

}  // namespace vtm::mock
