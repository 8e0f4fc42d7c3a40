#pragma once
#include "json/json_value.h"

namespace vtm {

// Renders completely, then writes the text and one line feed to standard output.
void print_json(const JsonValue& value, bool compact);

}  // namespace vtm
