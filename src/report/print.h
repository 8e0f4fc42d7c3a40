#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "json/json_value.h"

namespace vtm {

// Renders completely, then writes the text and one line feed to standard output.
void print_json(const JsonValue& value, bool compact);

struct ProgramIdentity {
  std::string_view name;
  std::string_view version;
  std::uint64_t protocol_version;
};

// The successful report for --version, in the chosen form.
void print_version_report(const ProgramIdentity& identity, bool compact);

// The plain usage text, line by line; one line per command word, in the order given.
void print_usage(std::span<const std::string_view> command_words);

}  // namespace vtm
