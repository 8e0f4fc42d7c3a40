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

// The document's compact or indented form (no final line feed), held to the bound it was sized
// by: the writers must never need more.
inline std::string rendered(const JsonDocument& document, bool compact) {
  const Result<DocumentText> text = render_document(document, compact, false);
  if (!text) {
    ADD_FAILURE() << text.error();
    return {};
  }
  std::string out;
  for (std::string_view piece : text.value().pieces) out.append(piece.data(), piece.size());
  EXPECT_LE(out.size(), compact ? document.compact_bound() : document.indented_bound())
      << (compact ? "compact" : "indented") << " form exceeds its bound";
  return out;
}

inline void PrintTo(const JsonValue& value, std::ostream* os) { *os << to_compact_text(value); }
inline void PrintTo(const JsonObject& object, std::ostream* os) {
  *os << to_compact_text(JsonValue(object));
}

}  // namespace vtm
