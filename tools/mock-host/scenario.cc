#include "scenario.h"

#include <algorithm>
#include <array>

#include "base64.h"
#include "json/parse.h"
#include "json/write.h"
#include "script_file.h"

namespace vtm::mock {
namespace {

// A member's place in the file, "stubs[2].match", for messages.
using Path = std::string;

Failure refused(std::string_view name, const Path& path, std::string_view why) {
  return Failure{std::string(name) + ": " + path + ": " + std::string(why)};
}

// Unknown members are refused: a misspelt "tmes" silently ignored would be a test that passes
// for the wrong reason.
Status only_known(std::string_view name, const Path& path, const JsonValue& value,
                  std::span<const std::string_view> known) {
  if (value.kind() != JsonValue::Kind::Object) return refused(name, path, "must be an object");
  for (const auto& member : value.as_object().members()) {
    if (std::find(known.begin(), known.end(), member.first) == known.end()) {
      return refused(name, path, "unknown member " + to_compact_text(JsonValue(member.first)));
    }
  }
  return ok_status();
}

Result<std::string> text_member(std::string_view name, const Path& path, const JsonValue& value) {
  if (value.kind() != JsonValue::Kind::String) return refused(name, path, "must be a string");
  return value.as_string();
}

Result<std::uint64_t> number_member(std::string_view name, const Path& path, const JsonValue& value,
                                    std::uint64_t min, std::uint64_t max) {
  if (value.kind() != JsonValue::Kind::Unsigned || value.as_u64() < min || value.as_u64() > max) {
    return refused(
        name, path,
        "must be a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  }
  return value.as_u64();
}

Result<std::vector<std::string>> words_member(std::string_view name, const Path& path,
                                              const JsonValue& value) {
  if (value.kind() != JsonValue::Kind::Array) {
    return refused(name, path, "must be an array of strings");
  }
  std::vector<std::string> words;
  for (const JsonValue& word : value.as_array()) {
    if (word.kind() != JsonValue::Kind::String) {
      return refused(name, path, "must be an array of strings");
    }
    words.push_back(word.as_string());
  }
  return words;
}

// Reads member `key` of `object` with `read`, into `out`, when present.
template <class T, class Read>
Status optional_member(const JsonValue& object, std::string_view key, const Path& path,
                       std::optional<T>& out, Read read) {
  const JsonValue* value = find_member(object, key);
  if (value == nullptr) return ok_status();
  auto got = read(path + "." + std::string(key), *value);
  if (!got) return std::move(got).take_failure();
  out = std::move(got).value();
  return ok_status();
}

Result<std::string> command_member(std::string_view name, const Path& path,
                                   const JsonValue& value) {
  auto word = text_member(name, path, value);
  if (!word) return word;
  if (Status known = known_command(word.value()); !known) return refused(name, path, known.error());
  return word;
}

// {"--x": "120", "--y": null}: each option followed by its value, or only present.
Status read_options(std::string_view name, const Path& path, const JsonValue& value, Match& match) {
  if (value.kind() != JsonValue::Kind::Object) return refused(name, path, "must be an object");
  for (const auto& [option, wanted] : value.as_object().members()) {
    const Path at = path + "." + to_compact_text(JsonValue(option));
    if (wanted.kind() == JsonValue::Kind::Null) {
      match.options.emplace_back(option, std::nullopt);
    } else if (wanted.kind() == JsonValue::Kind::String) {
      match.options.emplace_back(option, wanted.as_string());
    } else {
      return refused(name, at, "must be a string, or null for an option without a value");
    }
  }
  return ok_status();
}

Result<Match> read_match(std::string_view name, const Path& path, const JsonValue& value) {
  static constexpr std::array<std::string_view, 5> KNOWN = {
      "command", "arguments", "argumentsStartWith", "argumentsContain", "options"};
  if (Status known = only_known(name, path, value, KNOWN); !known)
    return std::move(known).take_failure();
  Match match;
  const auto words = [&](const Path& at, const JsonValue& v) { return words_member(name, at, v); };
  const auto command = [&](const Path& at, const JsonValue& v) {
    return command_member(name, at, v);
  };
  for (Status read : {optional_member(value, "command", path, match.command, command),
                      optional_member(value, "arguments", path, match.arguments, words),
                      optional_member(value, "argumentsStartWith", path, match.starts_with, words),
                      optional_member(value, "argumentsContain", path, match.contain, words)}) {
    if (!read) return std::move(read).take_failure();
  }
  if (const JsonValue* options = find_member(value, "options")) {
    if (Status read = read_options(name, path + ".options", *options, match); !read) {
      return std::move(read).take_failure();
    }
  }
  return match;
}

// The stub's "fault" object: one member per row of the fault table.
Status read_fault(std::string_view name, const Path& path, const JsonValue& value, Faults& faults) {
  if (value.kind() != JsonValue::Kind::Object) return refused(name, path, "must be an object");
  for (const auto& [member, given] : value.as_object().members()) {
    // A structured binding cannot be captured by clang 14's lambdas: named once more.
    const std::string_view wanted = member;
    const auto* entry = std::find_if(FAULTS.begin(), FAULTS.end(),
                                     [&](const FaultEntry& f) { return f.member == wanted; });
    if (entry == FAULTS.end()) {
      return refused(name, path, "unknown member " + to_compact_text(JsonValue(member)));
    }
    if (Status set = set_fault(*entry, faults, given); !set) {
      return refused(name, path + "." + member, set.error());
    }
  }
  return ok_status();
}

Result<std::string> base64_member(std::string_view name, const Path& path, const JsonValue& value) {
  auto text = text_member(name, path, value);
  if (!text) return text;
  auto bytes = from_base64(text.value());
  if (!bytes) return refused(name, path, "must be base64 (A-Z a-z 0-9 + /, padded with =)");
  return std::move(*bytes);
}

Status read_expect(std::string_view name, const Path& path, const JsonValue& value, Stub& stub) {
  static constexpr std::array<std::string_view, 2> KNOWN = {"atLeast", "atMost"};
  if (Status known = only_known(name, path, value, KNOWN); !known) return known;
  const auto count = [&](const Path& at, const JsonValue& v) {
    return number_member(name, at, v, 0, MAX_U32);
  };
  for (Status read : {optional_member(value, "atLeast", path, stub.at_least, count),
                      optional_member(value, "atMost", path, stub.at_most, count)}) {
    if (!read) return read;
  }
  if (stub.at_least && stub.at_most && *stub.at_least > *stub.at_most) {
    return refused(name, path, "atLeast is above atMost");
  }
  return ok_status();
}

Result<Stub> read_stub(std::string_view name, const Path& path, std::size_t index,
                       const JsonValue& value) {
  static constexpr std::array<std::string_view, 10> KNOWN = {
      "name",      "match", "times",   "state", "response",
      "rawBase64", "raw",   "delayMs", "fault", "expect"};
  if (Status known = only_known(name, path, value, KNOWN); !known)
    return std::move(known).take_failure();
  Stub stub;
  stub.label = JsonValue::from_u64(index);
  std::optional<std::string> label;
  std::optional<Match> match;
  std::optional<std::uint64_t> delay;
  const auto text = [&](const Path& at, const JsonValue& v) { return text_member(name, at, v); };
  for (Status read :
       {optional_member(value, "name", path, label, text),
        optional_member(value, "match", path, match,
                        [&](const Path&at, const JsonValue&v) { return read_match(name, at, v); }),
        optional_member(value, "times", path, stub.times,
                        [&](const Path&at, const JsonValue&v) {
                          return number_member(name, at, v, 1, MAX_U32);
                        }),
        optional_member(value, "raw", path, stub.raw, text),
        optional_member(
            value, "rawBase64", path, stub.raw,
            [&](const Path&at, const JsonValue&v) { return base64_member(name, at, v); }),
        optional_member(value, "delayMs", path, delay, [&](const Path&at, const JsonValue&v) {
          return number_member(name, at, v, 0, MAX_MILLISECONDS);
        })}) {
    if (!read) return std::move(read).take_failure();
  }
  if (label) stub.label = *label;
  if (match) stub.match = std::move(*match);
  if (const JsonValue* response = find_member(value, "response")) stub.response = *response;
  const int answers = (stub.response ? 1 : 0) + (find_member(value, "raw") ? 1 : 0) +
                      (find_member(value, "rawBase64") ? 1 : 0);
  if (answers > 1) return refused(name, path, "takes one of response, raw and rawBase64");
  if (const JsonValue* expect = find_member(value, "expect")) {
    if (Status read = read_expect(name, path + ".expect", *expect, stub); !read) {
      return std::move(read).take_failure();
    }
  }
  if (const JsonValue* state = find_member(value, "state")) {
    static constexpr std::array<std::string_view, 2> STATE = {"requires", "moveTo"};
    const Path at = path + ".state";
    if (Status known = only_known(name, at, *state, STATE); !known)
      return std::move(known).take_failure();
    for (Status read : {optional_member(*state, "requires", at, stub.requires_state, text),
                        optional_member(*state, "moveTo", at, stub.move_to, text)}) {
      if (!read) return std::move(read).take_failure();
    }
  }
  if (const JsonValue* fault = find_member(value, "fault")) {
    if (Status read = read_fault(name, path + ".fault", *fault, stub.faults); !read) {
      return std::move(read).take_failure();
    }
  }
  stub.faults.delay_ms = delay.value_or(0);
  // Without reading there is nothing to match against.
  if (stub.faults.no_read && match) {
    return refused(name, path, "a noRead stub answers before any request is read: it has no match");
  }
  return stub;
}

bool contains(std::span<const std::string> arguments, const std::string& wanted) {
  return std::find(arguments.begin(), arguments.end(), wanted) != arguments.end();
}

bool has_option(std::span<const std::string> arguments, const std::string& option,
                const std::optional<std::string>& value) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] != option) continue;
    if (!value || (i + 1 < arguments.size() && arguments[i + 1] == *value)) return true;
  }
  return false;
}

Result<std::vector<Stub>> read_stubs(std::string_view name, const JsonValue& file) {
  static constexpr std::array<std::string_view, 1> KNOWN = {"stubs"};
  if (Status known = only_known(name, "the file", file, KNOWN); !known) {
    return std::move(known).take_failure();
  }
  const JsonValue* stubs = find_member(file, "stubs");
  if (stubs == nullptr || stubs->kind() != JsonValue::Kind::Array) {
    return refused(name, "stubs", "must be an array of stubs");
  }
  std::vector<Stub> read;
  for (const JsonValue& stub : stubs->as_array()) {
    const std::size_t index = read.size();
    auto one = read_stub(name, "stubs[" + std::to_string(index) + "]", index, stub);
    if (!one) return std::move(one).take_failure();
    read.push_back(std::move(one).value());
  }
  return read;
}

// The text's lines, each without its line feed; `cut` tells whether the last one had none.
std::vector<std::string_view> lines_of(std::string_view text, bool& cut) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    cut = end == std::string_view::npos;
    text.remove_prefix(cut ? text.size() : end + 1);
  }
  return lines;
}

bool blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// The first line, when it is a whole scenario object: the file is in the line form.
bool line_form(std::string_view text) {
  bool cut = false;
  const std::vector<std::string_view> lines = lines_of(text, cut);
  if (lines.size() < 2 && cut) return false;
  auto first = parse_json(lines.empty() ? "" : lines[0]);
  return first && find_member(first.value(), "stubs") != nullptr;
}

bool is_cut_last_line(std::string_view text) {
  bool cut = false;
  const std::vector<std::string_view> lines = lines_of(text, cut);
  return line_form(text) && cut && lines.size() > 1 && !blank(lines.back()) &&
         !parse_json(lines.back());
}

}  // namespace

bool matches(const Match& match, std::string_view command, std::span<const std::string> arguments) {
  if (match.command && *match.command != command) return false;
  if (match.arguments && !std::ranges::equal(*match.arguments, arguments)) return false;
  if (match.starts_with &&
      (match.starts_with->size() > arguments.size() ||
       !std::equal(match.starts_with->begin(), match.starts_with->end(), arguments.begin()))) {
    return false;
  }
  if (match.contain) {
    for (const std::string& wanted : *match.contain) {
      if (!contains(arguments, wanted)) return false;
    }
  }
  for (const auto& [option, value] : match.options) {
    if (!has_option(arguments, option, value)) return false;
  }
  return true;
}

Result<std::vector<Stub>> parse_scenario(std::string_view text, std::string_view name) {
  if (!line_form(text)) {
    auto parsed = parse_script_json(text, name);
    if (!parsed) return std::move(parsed).take_failure();
    return read_stubs(name, parsed.value());
  }
  bool cut = false;
  std::vector<std::string_view> lines = lines_of(text, cut);
  if (is_cut_last_line(text)) lines.pop_back();
  auto head = parse_script_json(lines[0], std::string(name) + ": line 1");
  if (!head) return std::move(head).take_failure();
  auto stubs = read_stubs(name, head.value());
  if (!stubs) return stubs;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (blank(lines[i])) continue;
    const Path path = "line " + std::to_string(i + 1);
    auto value = parse_script_json(lines[i], std::string(name) + ": " + path);
    if (!value) return std::move(value).take_failure();
    auto stub = read_stub(name, path, stubs.value().size(), value.value());
    if (!stub) return std::move(stub).take_failure();
    stubs.value().push_back(std::move(stub).value());
  }
  return stubs;
}

std::optional<std::string> cut_last_line(std::string_view text, std::string_view name) {
  if (!is_cut_last_line(text)) return std::nullopt;
  bool cut = false;
  const std::size_t count = lines_of(text, cut).size();
  return std::string(name) + ": line " + std::to_string(count) +
         " was cut off while being written (no line feed, not JSON): left out";
}

bool ScenarioPlayer::available(std::size_t index) const {
  const Stub& stub = stubs_[index];
  if (stub.requires_state && *stub.requires_state != state_) return false;
  return !stub.times || used_[index] < *stub.times;
}

Choice ScenarioPlayer::take(std::size_t index) {
  Choice choice{&stubs_[index], state_, state_};
  ++used_[index];
  if (stubs_[index].move_to) state_ = *stubs_[index].move_to;
  choice.state_after = state_;
  return choice;
}

Choice ScenarioPlayer::choose_unread() {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < stubs_.size(); ++i) {
    if (stubs_[i].faults.no_read && available(i)) return take(i);
  }
  return Choice{nullptr, state_, state_};
}

Choice ScenarioPlayer::choose(std::string_view command, std::span<const std::string> arguments) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < stubs_.size(); ++i) {
    if (!stubs_[i].faults.no_read && available(i) && matches(stubs_[i].match, command, arguments)) {
      return take(i);
    }
  }
  return Choice{nullptr, state_, state_};
}

std::vector<std::string> ScenarioPlayer::unmet_expectations() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < stubs_.size(); ++i) {
    const Stub& stub = stubs_[i];
    const auto unmet = [&](std::string_view bound, std::uint64_t count) {
      lines.push_back("stub " + to_compact_text(stub.label) + ": expected " + std::string(bound) +
                      " " + std::to_string(count) + " calls, got " + std::to_string(used_[i]));
    };
    if (stub.at_least && used_[i] < *stub.at_least) unmet("at least", *stub.at_least);
    if (stub.at_most && used_[i] > *stub.at_most) unmet("at most", *stub.at_most);
  }
  return lines;
}

std::vector<std::string> ScenarioPlayer::unused_stubs() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < stubs_.size(); ++i) {
    const Stub& stub = stubs_[i];
    if (stub.times && used_[i] < *stub.times) {
      lines.push_back("stub " + to_compact_text(stub.label) + ": used " + std::to_string(used_[i]) +
                      " of " + std::to_string(*stub.times) + " times");
    }
  }
  return lines;
}

}  // namespace vtm::mock
