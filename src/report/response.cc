#include "report/response.h"

#include "json/write.h"
#include "platform/platform.h"
#include "report/exit_status.h"
#include "report/output.h"

namespace vtm {

bool response_succeeded(const JsonValue& response) {
  const JsonValue* success = find_member(response, "success");
  return success != nullptr && success->kind() == JsonValue::Kind::Bool && success->as_bool();
}

bool response_succeeded(const JsonDocument& response) {
  const std::optional<std::uint32_t> success = response.find_root_member("success");
  return success && response.member_value_tag(*success) == JsonDocument::Tag::True;
}

namespace {

// A write that fails ends the run there (status 101, after what was already written); without
// a stdout the text is dropped.
struct StdoutOutput final : TextOutput {
  void write(std::span<const std::string_view> pieces) override {
    write_output(platform::StdStream::Out, pieces);
  }
};

}  // namespace

int report_response(const JsonDocument& response, bool compact) {
  const int status = response_succeeded(response) ? STATUS_OK : STATUS_FAILED;
  StdoutOutput output;
  render_document(response, compact, true, output);
  return status;
}

}  // namespace vtm
