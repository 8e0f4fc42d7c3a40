#include "bridge/exchange.h"

#include "bridge/frames.h"
#include "bridge/request.h"
#include "json/parse.h"
#include "platform/platform.h"

namespace vtm {

// Every response frame fits what a document's node offsets can address.
static_assert(MAX_RESPONSE_FRAME_BYTES <= JsonDocument::MAX_TEXT_BYTES);

Result<ControlResponse> exchange_over_stream(platform::ByteStream& stream,
                                             const JsonValue& request) {
  const std::string payload = encode_control_request(request);
  if (payload.size() > MAX_REQUEST_FRAME_BYTES) {
    return Failure{"control request exceeds the protocol frame limit"};
  }
  if (Status s = write_frame(stream, payload); !s) return std::move(s).take_failure();
  Result<FrameBuffer> frame = read_frame(stream);
  if (!frame) return std::move(frame).take_failure();
  Result<JsonDocument> document = parse_document(frame.value().bytes(), platform::bulk_memory());
  if (!document) return std::move(document).take_failure();
  return ControlResponse{std::move(frame).value(), std::move(document).value()};
}

Result<ControlResponse> exchange_control_request(const JsonValue& request) {
  const std::optional<std::string> path = platform::environment_variable(BRIDGE_SOCKET_VARIABLE);
  if (!path) return Failure{"VANTELMIRE_BRIDGE_SOCKET is not configured"};
  Result<std::unique_ptr<platform::ByteStream>> stream = platform::open_bridge_socket(*path);
  if (!stream) return std::move(stream).take_failure();
  Result<ControlResponse> response = exchange_over_stream(*stream.value(), request);
  stream.value().reset();  // closed before anything is printed
  return response;
}

}  // namespace vtm
