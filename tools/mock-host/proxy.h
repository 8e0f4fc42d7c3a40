#pragma once
// The proxy: each request frame goes unchanged to another host, its answer frame comes back
// unchanged, and each exchange can be kept as a stub of a scenario that replays it.
#include <optional>
#include <string>
#include <string_view>

#include "json/json_value.h"
#include "output_file.h"
#include "responder.h"
#include "result.h"

namespace vtm::mock {

struct Relayed {
  std::string bytes;                   // what the other host sent, to pass on as it is
  std::optional<std::string> payload;  // set when that was one whole frame
  std::string problem;                 // what was wrong with it; empty when nothing was
};

class Proxy {
 public:
  Proxy(std::string target, int timeout_ms, OutputFile& capture)
      : target_(std::move(target)), timeout_ms_(timeout_ms), capture_(capture) {}

  // One connection that carries nothing, at start-up: an unreachable target stops the host
  // before it serves anyone.
  Status check() const;
  // Sends one whole request frame and reads the one answer frame and whatever follows it until
  // the target closes; a failure when the target cannot be reached or takes nothing.
  Result<Relayed> forward(std::string_view frame) const;
  // The capture is a scenario in the line form: CAPTURE_HEAD first, then one stub per line,
  // each appended whole as its exchange ends. Cut anywhere, it loads with every exchange whose
  // line was finished, and appending costs the same however long the session ran.
  void begin_capture();
  void capture(const Request& request, const Relayed& answer);

  const std::string& target() const { return target_; }

 private:
  std::string target_;
  int timeout_ms_;
  OutputFile& capture_;
};

inline constexpr std::string_view CAPTURE_HEAD = "{\"stubs\":[]}\n";

// A captured exchange as a stub: the exact command and arguments, once, with the exact bytes.
// An answer that was not one whole frame is kept as a close; one that is not UTF-8 as base64.
JsonValue captured_stub(const Request& request, const std::optional<std::string>& payload);

}  // namespace vtm::mock
