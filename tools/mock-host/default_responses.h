#pragma once
// Built-in answers: plausible, deterministic data for each command word, so the client can be
// driven end to end without any script.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "json/json_value.h"

namespace vtm::mock {

// The "data" member for a command word of the client's vocabulary and its arguments; nullopt
// for an unknown word.
std::optional<JsonValue> default_data(std::string_view command,
                                      std::span<const std::string> arguments);

// A valid 1x1 PNG, base64: the smallest image answer a screenshot command can give.
inline constexpr std::string_view TINY_PNG_BASE64 =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg"
    "==";

}  // namespace vtm::mock
