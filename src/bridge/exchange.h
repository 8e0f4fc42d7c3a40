#pragma once
#include "json/json_value.h"
#include "platform/platform.h"
#include "result.h"

namespace vtm {

inline constexpr const char* BRIDGE_SOCKET_VARIABLE = "VANTELMIRE_BRIDGE_SOCKET";

// One request frame out, one response frame back, the stream closed on every road before the
// result is returned.
Result<JsonValue> exchange_control_request(const JsonValue& request);

// The steps after the open: encode, size check, write the frame, read one back, parse.
Result<JsonValue> exchange_over_stream(platform::ByteStream& stream, const JsonValue& request);

}  // namespace vtm
