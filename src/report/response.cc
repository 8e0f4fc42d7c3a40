#include "report/response.h"

#include "json/print.h"

namespace vtm {

bool response_succeeded(const JsonValue& response) {
  const JsonValue* success = find_member(response, "success");
  return success != nullptr && success->kind() == JsonValue::Kind::Bool && success->as_bool();
}

int report_response(const JsonValue& response, bool compact) {
  const int status = response_succeeded(response) ? 0 : 1;
  print_json(response, compact);
  return status;
}

}  // namespace vtm
