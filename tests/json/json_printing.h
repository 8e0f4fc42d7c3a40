#pragma once
// Lets GoogleTest show JSON values as their compact text in failure messages, and gives a
// document's written form as one string.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "json/document.h"
#include "json/json_value.h"
#include "json/write.h"

namespace vtm {

// The document's compact or indented form (no final line feed). Rendered a second time through
// the smallest buffer, so that every document also crosses many flushes and sends its longer
// texts straight out: the bytes must not depend on where the buffer fills.
inline std::string rendered(const JsonDocument& document, bool compact) {
  std::string out = render_document_text(document, compact, false);
  EXPECT_EQ(render_document_text(document, compact, false, 64), out)
      << (compact ? "compact" : "indented") << " form changes with the buffer's size";
  return out;
}

inline void PrintTo(const JsonValue& value, std::ostream* os) { *os << to_compact_text(value); }
inline void PrintTo(const JsonObject& object, std::ostream* os) {
  *os << to_compact_text(JsonValue(object));
}

}  // namespace vtm
