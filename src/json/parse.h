#pragma once
#include <string_view>

#include "json/json_value.h"
#include "result.h"

namespace vtm {

// Exactly one JSON value, optionally surrounded by white space. A failure carries the message
// followed by " at line L column C".
Result<JsonValue> parse_json(std::string_view input);

}  // namespace vtm
