#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "json/document.h"
#include "json/json_value.h"

namespace vtm {

std::string to_compact_text(const JsonValue& value);
std::string to_indented_text(const JsonValue& value);

// Appending forms, for callers that build one buffer.
void append_compact_text(std::string& out, const JsonValue& value);
void append_indented_text(std::string& out, const JsonValue& value);

// Takes a written form in order, a few pieces at a time: a stretch of the render buffer and at
// most one long text straight from the document. The pieces are valid only during the call.
class TextOutput {
 public:
  virtual void write(std::span<const std::string_view> pieces) = 0;

 protected:
  ~TextOutput() = default;
};

// The render buffer's capacity. Against 256 KiB, 8% less time on 1 MiB answers (it stays in the
// core's cache beside the document) and the same on 16 MiB ones; beside the frame, small.
inline constexpr std::size_t RENDER_BUFFER_BYTES = 64 * 1024;

// Writes the compact or indented form of the document, with one final line feed when asked,
// through a buffer of `buffer_bytes` (at least 64) that goes to `output` each time it fills.
// Memory is that buffer, whatever the size of the form.
void render_document(const JsonDocument& document, bool compact, bool final_line_feed,
                     TextOutput& output, std::size_t buffer_bytes = RENDER_BUFFER_BYTES);

// The same form as one string.
std::string render_document_text(const JsonDocument& document, bool compact, bool final_line_feed,
                                 std::size_t buffer_bytes = RENDER_BUFFER_BYTES);

}  // namespace vtm
