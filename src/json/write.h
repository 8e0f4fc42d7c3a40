#pragma once
#include <cstddef>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

#include "json/document.h"
#include "json/json_value.h"
#include "json/pod_buffer.h"
#include "result.h"

namespace vtm {

std::string to_compact_text(const JsonValue& value);
std::string to_indented_text(const JsonValue& value);

// Appending forms, for callers that build one buffer.
void append_compact_text(std::string& out, const JsonValue& value);
void append_indented_text(std::string& out, const JsonValue& value);

// A document's written form, complete, as pieces in order: stretches of one buffer filled
// without reallocation, and long plain strings borrowed from the document's text instead of
// copied. Valid while the document's text lives.
struct DocumentText {
  json_detail::PodBuffer<char> buffer;
  std::vector<std::string_view> pieces;

  std::size_t size() const;
};

// The compact or indented form of the document, with one final line feed when asked. Written
// within the document's bound (compact_bound or indented_bound); a form that would exceed it
// is a failure, never a write past the buffer.
Result<DocumentText> render_document(
    const JsonDocument& document, bool compact, bool final_line_feed,
    std::pmr::memory_resource* memory = std::pmr::get_default_resource());

}  // namespace vtm
