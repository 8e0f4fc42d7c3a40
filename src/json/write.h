#pragma once
#include <string>

#include "json/json_value.h"

namespace vtm {

std::string to_compact_text(const JsonValue& value);
std::string to_indented_text(const JsonValue& value);

// Appending forms, for callers that build one buffer.
void append_compact_text(std::string& out, const JsonValue& value);
void append_indented_text(std::string& out, const JsonValue& value);

// The shortest round-trip text of a finite double in the fixed/exponent layout ("1.0", "1e+16").
void append_float_text(std::string& out, double value);

}  // namespace vtm
