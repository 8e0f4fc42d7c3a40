#pragma once
// How an answer goes wrong: the one table of faults. Each row gives the command-line option that
// sets it for the whole host, the member of a stub's "fault" object (also the name the journal
// lists it under) and the help text, so options, scenarios, the journal, --help and the man page
// checks all read the same row. A new fault is a field of Faults and a row here.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "json/json_value.h"
#include "result.h"

namespace vtm::mock {

struct Faults {
  std::optional<std::uint32_t> prefix;
  std::optional<std::uint64_t> short_bytes;
  bool close_without_answer = false;
  bool no_read = false;
  bool hang = false;  // read the request, then hold the connection unanswered until the host stops
  std::string extra;
  std::uint64_t delay_ms = 0;  // a wait, not a fault: a stub's "delayMs", the host's --delay-ms

  bool operator==(const Faults&) const = default;
};

// The field a row sets; its type says what value it takes: a flag, a byte count, an 8-hex-digit
// length prefix, or text.
using FaultField = std::variant<bool Faults::*, std::optional<std::uint64_t> Faults::*,
                                std::optional<std::uint32_t> Faults::*, std::string Faults::*>;

struct FaultEntry {
  std::string_view option;      // empty when only a stub can ask for it
  std::string_view member;      // in a stub's "fault" object and in the journal's "faults"
  std::string_view value_name;  // as --help shows it; empty for a flag
  std::string_view help;
  FaultField field;
};

inline constexpr std::array<FaultEntry, 6> FAULTS = {{
    {"--prefix", "prefix", "HEX", "send this 8-hex-digit length prefix instead of the real one",
     &Faults::prefix},
    {"--short", "short", "N", "send only the first N payload bytes, then close",
     &Faults::short_bytes},
    {"--close", "close", "", "read the request, then close without answering",
     &Faults::close_without_answer},
    {"--no-read", "noRead", "", "don't read the request: answer (or close) at once",
     &Faults::no_read},
    {"--extra", "extra", "TEXT", "after the frame, send these extra bytes too", &Faults::extra},
    {"", "hang", "", "read the request, then hold the caller unanswered until the host stops",
     &Faults::hang},
}};

// The one reading of an 8-hex-digit length prefix; nullopt for anything else.
std::optional<std::uint32_t> parse_hex8(std::string_view text);

// The one reading of a decimal number on the command line; a failure names the option.
Result<std::uint64_t> parse_decimal(std::string_view option, std::string_view text,
                                    std::uint64_t min, std::uint64_t max);

// From the row's option and its value (ignored for a flag); a failure names the option.
Status set_fault(const FaultEntry& entry, Faults& faults, std::string_view text);
// From a stub's member value; a failure is the reason alone ("must be ...").
Status set_fault(const FaultEntry& entry, Faults& faults, const JsonValue& value);

bool in_force(const FaultEntry& entry, const Faults& faults);

}  // namespace vtm::mock
