#include "bridge/request.h"

#include "json/write.h"
#include "platform/platform.h"
#include "platform/portable/u128.h"

namespace vtm {

std::string format_request_id(std::uint32_t process_id, platform::UInt128 unix_nanoseconds) {
  std::string id = std::to_string(process_id);
  id += '-';
  id += platform::u128_to_decimal(unix_nanoseconds);
  return id;
}

std::string make_request_id() {
  return format_request_id(platform::process_id(), platform::unix_time_nanoseconds());
}

JsonValue build_control_request(const std::string& command,
                                const std::vector<std::string>& arguments) {
  JsonObject request;
  request.insert("protocolVersion", JsonValue::from_u64(PROTOCOL_VERSION));
  request.insert("requestId", make_request_id());
  request.insert("command", command);
  JsonArray list;
  list.reserve(arguments.size());
  for (const std::string& argument : arguments) list.emplace_back(argument);
  request.insert("arguments", std::move(list));
  return request;
}

std::string encode_control_request(const JsonValue& request) { return to_compact_text(request); }

}  // namespace vtm
