#include "proxy.h"

#include "base64.h"
#include "bridge/frames.h"
#include "json/parse.h"
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
  std::uint64_t sent = 0;
  if (Status written = write_all(target, frame, Deadline(timeout_ms_), sent); !written) {
    target.finish(timeout_ms_);
    return Failure{"cannot send to " + target_ + ": " + written.error()};
  }
  const Deadline answering(timeout_ms_);
  ReceivedFrame answer = read_frame(target, answering, MAX_RESPONSE_FRAME_BYTES);
  Relayed relayed{std::move(answer.bytes), std::move(answer.payload), std::move(answer.problem)};
  // Whatever follows is relayed too, as a direct connection would have shown it; a stream
  // that never ends is cut at the frame limit.
  const std::uint64_t trailing =
      read_rest(target, answering, &relayed.bytes, MAX_RESPONSE_FRAME_BYTES);
  if (relayed.payload) {
    if (auto parsed = parse_json(*relayed.payload); !parsed) {
      relayed.problem = "the answer is not JSON: " + parsed.error();
    } else if (trailing > 0) {
      relayed.problem = std::to_string(trailing) + " bytes after the answer frame";
    }
  }
  target.finish(timeout_ms_);
  return relayed;
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
