#pragma once
// One connection from accept to close: read the request frame, record it, answer as scripted.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/frames.h"
#include "listener.h"
#include "options.h"
#include "responder.h"

namespace vtm::mock {

// Requests this much above the client's own limit are still read, so a client that oversteps
// its limit is seen doing so; anything larger is only recorded and dropped.
inline constexpr std::uint32_t MAX_ACCEPTED_REQUEST_BYTES = MAX_REQUEST_FRAME_BYTES + 65'536;

struct ReceivedRequest {
  std::string bytes;                   // everything that arrived: prefix and payload, or less
  std::optional<std::string> payload;  // set only when a whole frame arrived
  std::string problem;                 // why there is no payload, for the log
};

// Reads one frame, tolerating a peer that stops early or stalls.
ReceivedRequest read_request(Connection& connection, int timeout_ms);

// What goes out for one answer, in order: the real or forced prefix, the payload (cut to
// --short), then --extra. The pieces are sent one after another, never joined into a copy.
struct Reply {
  std::array<char, 4> prefix;
  std::string_view payload;
  std::string_view extra;
};
Reply reply_for(const HostOptions& options, std::string_view payload);

Status write_all(Connection& connection, std::string_view bytes, int timeout_ms);

struct SessionOutcome {
  std::string received;
  std::string problem;  // empty when the connection went as scripted
};

// record is called with the received bytes before anything is answered, so a caller who waits
// for the answer can rely on the record being complete.
SessionOutcome serve_connection(Connection& connection, const HostOptions& options,
                                const Responder& responder,
                                const std::function<void(std::string_view)>& record,
                                const std::function<void(std::uint64_t)>& sleep_ms);

}  // namespace vtm::mock
