#pragma once
// The files that script the host (a scenario, --responses, --raw-file): read under a size bound,
// and, for the JSON ones, every mistake named with its place. A suite must never pass because a
// file said something other than what its author meant.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/frames.h"
#include "json/json_value.h"
#include "result.h"

namespace vtm::mock {

// A scenario or a --responses file: room for a capture holding many answers as large as the
// client accepts, yet far below what would exhaust memory.
inline constexpr std::uint64_t MAX_SCRIPT_FILE_BYTES = 1 << 30;
// A --raw-file is one answer: no more than the client's response limit.
inline constexpr std::uint64_t MAX_RAW_FILE_BYTES = MAX_RESPONSE_FRAME_BYTES;

// "OPTION: cannot read FILE: REASON", REASON being the OS's words or the bound.
Result<std::string> read_script_file(const std::string& path, std::string_view option,
                                     std::uint64_t max_bytes);

// One JSON value. Beyond the grammar, refused with their place: an empty text, a byte-order
// mark, a repeated member (the parser would keep the last one silently). A lone surrogate
// escape is called by its name. Messages start with `name`.
Result<JsonValue> parse_script_json(std::string_view text, std::string_view name);

// "repeated member "KEY" at line L column C" for the first member named twice in one object
// of a valid JSON text.
std::optional<std::string> repeated_member(std::string_view text);

// A command word the client can send: anything else in a script would never match.
Status known_command(std::string_view word);

}  // namespace vtm::mock
