#include "proxy.h"

#include "base64.h"
#include "bridge/frames.h"
#include "json/write.h"
#include "listener.h"
#include "session.h"
#include "text/utf8.h"

namespace vtm::mock {

Status Proxy::check() const {
  auto connection = connect_to(target_);
  if (!connection) return Failure{"--proxy: cannot reach " + target_ + ": " + connection.error()};
  connection.value()->finish(timeout_ms_);
  return ok_status();
}

Result<Relayed> Proxy::forward(std::string_view frame) const {
  auto connection = connect_to(target_);
  if (!connection) return Failure{"cannot reach " + target_ + ": " + connection.error()};
  Connection& target = *connection.value();
  if (Status sent = write_all(target, frame, timeout_ms_); !sent) {
    target.finish(timeout_ms_);
    return Failure{"cannot send to " + target_ + ": " + sent.error()};
  }
  ReceivedFrame answer = read_frame(target, timeout_ms_, MAX_RESPONSE_FRAME_BYTES);
  target.finish(timeout_ms_);
  return Relayed{std::move(answer.bytes), std::move(answer.payload)};
}

void Proxy::begin_capture() { capture_.append(CAPTURE_HEAD); }

void Proxy::capture(const Request& request, const Relayed& answer) {
  capture_.append(to_compact_text(captured_stub(request, answer.payload)) + "\n");
}

JsonValue captured_stub(const Request& request, const std::optional<std::string>& payload) {
  JsonObject match;
  match.insert("arguments", arguments_json(request));
  match.insert("command", request.command);
  JsonObject stub;
  stub.insert("match", std::move(match));
  stub.insert("times", JsonValue::from_u64(1));
  if (payload) {
    // JSON text holds only UTF-8; other bytes go as base64, so the replay is byte for byte.
    if (is_valid_utf8(*payload)) {
      stub.insert("raw", *payload);
    } else {
      stub.insert("rawBase64", to_base64(*payload));
    }
  } else {
    JsonObject fault;
    fault.insert("close", true);
    stub.insert("fault", std::move(fault));
  }
  return stub;
}

}  // namespace vtm::mock
