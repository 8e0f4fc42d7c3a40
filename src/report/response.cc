#include "report/response.h"

#include "json/write.h"
#include "platform/platform.h"
#include "report/exit_status.h"
#include "report/failure.h"
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

int report_response(const JsonDocument& response, bool compact) {
  const int status = response_succeeded(response) ? STATUS_OK : STATUS_FAILED;
  // Complete before anything is written: a text that cannot be allocated prints nothing.
  const Result<DocumentText> text =
      render_document(response, compact, true, platform::bulk_memory());
  if (!text) return report_failure(text.error());
  write_output(platform::StdStream::Out, text.value().pieces);
  return status;
}

}  // namespace vtm
