#pragma once
// One connection from accept to close: read the request frame, record it, decide (a plain plan:
// the stub, the answer, the faults, the state move), then act on the plan (relay, wait, send,
// journal, close).
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/frames.h"
#include "deadline.h"
#include "json/json_value.h"
#include "listener.h"
#include "options.h"
#include "responder.h"
#include "scenario.h"

namespace vtm::mock {

class Proxy;

// Requests this much above the client's own limit are still read, so a client that oversteps
// its limit is seen doing so; anything larger is only recorded and dropped.
inline constexpr std::uint32_t MAX_ACCEPTED_REQUEST_BYTES = MAX_REQUEST_FRAME_BYTES + 65'536;

struct ReceivedFrame {
  std::string bytes;                   // everything that arrived: prefix and payload, or less
  std::optional<std::string> payload;  // set only when a whole frame arrived
  std::string problem;                 // why there is no payload, for the log
  bool timed_out = false;              // the peer was still there, but too slow
};

// Reads one frame of at most max_length payload bytes within the deadline, tolerating a peer
// that stops early or stalls.
ReceivedFrame read_frame(Connection& connection, const Deadline& deadline,
                         std::uint32_t max_length);
inline ReceivedFrame read_request(Connection& connection, const Deadline& deadline) {
  return read_frame(connection, deadline, MAX_ACCEPTED_REQUEST_BYTES);
}

// Reads whatever else the peer sends until it closes, the deadline passes or limit bytes were
// read: appended to out when given, dropped otherwise. The bytes read.
std::uint64_t read_rest(Connection& connection, const Deadline& deadline, std::string* out,
                        std::uint64_t limit);

// What goes out for one answer, in order: the real or forced prefix, the payload (cut to
// short_bytes), then the extra bytes. The pieces are sent one after another, never joined into
// a copy.
struct Reply {
  std::array<char, 4> prefix;
  std::string_view payload;
  std::string_view extra;
};
Reply reply_for(const Faults& faults, std::string_view payload);

// Writes all bytes within the deadline; sent counts what the connection took, also on failure.
Status write_all(Connection& connection, std::string_view bytes, const Deadline& deadline,
                 std::uint64_t& sent);

// What all connections share.
struct HostContext {
  const HostOptions& options;
  const Responder& responder;
  ScenarioPlayer* scenario = nullptr;
  Proxy* proxy = nullptr;
  // Called with the received bytes before anything is answered, so a caller who waits for the
  // answer can rely on the record being complete.
  std::function<void(std::string_view)> record = [](std::string_view) {};
  std::function<void(std::uint64_t)> sleep_ms = [](std::uint64_t) {};
  // Milliseconds since 1970 (UTC), and on a clock that never goes back, for the journal.
  std::function<std::uint64_t()> wall_clock_ms = [] { return std::uint64_t{0}; };
  std::function<std::uint64_t()> steady_clock_ms = [] { return std::uint64_t{0}; };
  // Takes each connection's journal entry, when the host keeps a journal.
  std::function<void(const JsonValue&)> journal = nullptr;
  // A held connection calls this once its request is in: from then on it counts as finished,
  // and the call returns when the host stops.
  std::function<void()> hold = [] {};
};

struct SessionOutcome {
  std::string received;
  std::string problem;  // empty when the connection went as scripted
  // A request no stub took while a scenario answers, as "COMMAND [ARGUMENTS...]".
  std::optional<std::string> unmatched;
  bool held = false;  // the connection was held (a hang) until the host stopped
  // The caller closed without sending a byte (as a check that a host is there does): such a
  // connection is not counted, recorded or journaled.
  bool silent = false;
  bool target_failed = false;    // the proxy's target did not give one whole answer frame
  std::uint64_t bytes_sent = 0;  // what the connection took of the answer
  // What reached the socket: "answer" only when all of it did, else "partial" or "nothing".
  std::string_view sent = "nothing";
};

// When a connection was accepted (UTC, RFC 3339 with milliseconds) and how long it took.
struct Timing {
  std::string accepted;
  std::uint64_t duration_ms = 0;
};

// "2026-12-08T13:10:03.042Z"
std::string rfc3339_utc_milliseconds(std::uint64_t unix_ms);

SessionOutcome serve_connection(Connection& connection, std::uint64_t number,
                                const HostContext& host);

// A stub's answer: its raw bytes, its response (compact, with the request's id when it has
// none), or the built-in answer.
std::string stub_answer(const Stub& stub, const std::optional<Request>& request,
                        const Responder& responder, const std::optional<std::string>& payload);

}  // namespace vtm::mock
