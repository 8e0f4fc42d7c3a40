#pragma once
#include <memory_resource>
#include <span>
#include <string_view>

#include "json/document.h"
#include "json/json_value.h"
#include "result.h"

namespace vtm {

// Exactly one JSON value, optionally surrounded by white space. A failure carries the message
// followed by " at line L column C".
Result<JsonValue> parse_json(std::string_view input);

// The same grammar into a document that borrows the text: escapes are resolved inside it, so
// it must stay alive (and unmoved) as long as the document. Node and order arrays come from
// memory.
Result<JsonDocument> parse_document(
    std::span<char> text, std::pmr::memory_resource* memory = std::pmr::get_default_resource());

}  // namespace vtm
