#pragma once
// Turns one request payload into one response payload, following the host's script.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_value.h"
#include "options.h"
#include "result.h"

namespace vtm::mock {

// A request the host can act on: its command word and string arguments.
struct Request {
  JsonValue request_id;
  std::string command;
  std::vector<std::string> arguments;
};

// The arguments as a JSON array of strings, as journals, messages and captures show them.
JsonArray arguments_json(const Request& request);

// A failure here is the whole failure response, ready to send.
Result<Request> understand(std::string_view payload);

// The host's own failure answer, compact.
std::string failure_payload(JsonValue request_id, std::string_view code, std::string message);

// The built-in answer to a request.
std::string builtin_answer(const Request& request);

class Responder {
 public:
  // The built-in answer for every command word.
  static Responder builtin();
  // The request itself under data.request.
  static Responder echo();
  // The same bytes for every request, whatever it holds.
  static Responder fixed(std::string payload);
  // A JSON object mapping command words to whole responses.
  // Other words get the built-in answer; `name` starts every message.
  static Result<Responder> from_responses_text(std::string_view text, std::string_view name);
  // Reads the files the options name.
  static Result<Responder> from_options(const HostOptions& options);

  // request is nullopt when the host was told not to read one.
  std::string answer(const std::optional<std::string_view>& request) const;
  // The fixed bytes themselves, borrowed: a large fixed answer goes out without a copy per
  // connection, which would otherwise count in every client's measured time.
  std::optional<std::string_view> fixed_bytes() const {
    if (mode_ != Mode::Fixed) return std::nullopt;
    return fixed_;
  }

 private:
  enum class Mode { Builtin, Echo, Fixed, Responses };
  explicit Responder(Mode mode) : mode_(mode) {}

  Mode mode_;
  std::string fixed_;
  JsonObject responses_;
};

// A valid JSON payload of exactly n bytes (n >= 1): "1" for one byte, else a string of 'a's.
std::string payload_of_size(std::uint64_t n);

}  // namespace vtm::mock
