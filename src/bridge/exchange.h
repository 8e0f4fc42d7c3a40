#pragma once
#include "bridge/frames.h"
#include "json/document.h"
#include "json/json_value.h"
#include "platform/platform.h"
#include "result.h"

namespace vtm {

inline constexpr const char* BRIDGE_SOCKET_VARIABLE = "VANTELMIRE_BRIDGE_SOCKET";

// The response frame and its parsed document, which borrows the frame's bytes.
struct ControlResponse {
  FrameBuffer frame;
  JsonDocument document;
};

// One request frame out, one response frame back, the stream closed on every road before the
// result is returned.
Result<ControlResponse> exchange_control_request(const JsonValue& request);

// The steps after the open: encode, size check, write the frame, read one back, parse.
Result<ControlResponse> exchange_over_stream(platform::ByteStream& stream,
                                             const JsonValue& request);

}  // namespace vtm
