#pragma once
// Lets GoogleTest show JSON values as their compact text in failure messages.
#include <ostream>

#include "json/json_value.h"
#include "json/write.h"

namespace vtm {

inline void PrintTo(const JsonValue& value, std::ostream* os) { *os << to_compact_text(value); }
inline void PrintTo(const JsonObject& object, std::ostream* os) {
  *os << to_compact_text(JsonValue(object));
}

}  // namespace vtm
