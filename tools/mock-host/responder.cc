#include "responder.h"

#include <utility>

#include "default_responses.h"
#include "json/parse.h"
#include "json/write.h"
#include "script_file.h"

namespace vtm::mock {
namespace {

std::string success_payload(JsonValue request_id, JsonValue data) {
  JsonObject response;
  response.insert("data", std::move(data));
  response.insert("debugLog", JsonArray{});
  response.insert("requestId", std::move(request_id));
  response.insert("success", true);
  return to_compact_text(response);
}

std::string echo_payload(JsonValue request) {
  JsonValue request_id;
  if (const JsonValue* id = find_member(request, "requestId")) request_id = *id;
  JsonObject data;
  data.insert("request", std::move(request));
  JsonObject response;
  response.insert("data", std::move(data));
  response.insert("requestId", std::move(request_id));
  response.insert("success", true);
  return to_compact_text(response);
}

}  // namespace

std::string failure_payload(JsonValue request_id, std::string_view code, std::string message) {
  JsonObject error;
  error.insert("code", std::string(code));
  error.insert("message", std::move(message));
  JsonObject response;
  response.insert("data", nullptr);
  response.insert("error", std::move(error));
  response.insert("requestId", std::move(request_id));
  response.insert("success", false);
  return to_compact_text(response);
}

JsonArray arguments_json(const Request& request) {
  JsonArray arguments;
  for (const std::string& argument : request.arguments) arguments.emplace_back(argument);
  return arguments;
}

Result<Request> understand(std::string_view payload) {
  auto parsed = parse_json(payload);
  if (!parsed) {
    return Failure{
        failure_payload(nullptr, "BAD_REQUEST", "request is not valid JSON: " + parsed.error())};
  }
  const JsonValue& value = parsed.value();
  if (value.kind() != JsonValue::Kind::Object) {
    return Failure{failure_payload(nullptr, "BAD_REQUEST", "request is not a JSON object")};
  }
  Request request;
  if (const JsonValue* id = find_member(value, "requestId")) request.request_id = *id;
  const JsonValue* command = find_member(value, "command");
  if (command == nullptr || command->kind() != JsonValue::Kind::String) {
    return Failure{
        failure_payload(request.request_id, "BAD_REQUEST", "request has no command string")};
  }
  request.command = command->as_string();
  if (const JsonValue* arguments = find_member(value, "arguments")) {
    if (arguments->kind() != JsonValue::Kind::Array) {
      return Failure{
          failure_payload(request.request_id, "BAD_REQUEST", "request arguments are not an array")};
    }
    for (const JsonValue& argument : arguments->as_array()) {
      if (argument.kind() != JsonValue::Kind::String) {
        return Failure{failure_payload(request.request_id, "BAD_REQUEST",
                                       "request arguments must all be strings")};
      }
      request.arguments.push_back(argument.as_string());
    }
  }
  return request;
}

std::string builtin_answer(const Request& request) {
  auto data = default_data(request.command, request.arguments);
  if (!data) {
    return failure_payload(request.request_id, "UNKNOWN_COMMAND",
                           "unknown command: " + request.command);
  }
  return success_payload(request.request_id, std::move(*data));
}

Responder Responder::builtin() { return Responder(Mode::Builtin); }

Responder Responder::echo() { return Responder(Mode::Echo); }

Responder Responder::fixed(std::string payload) {
  Responder responder(Mode::Fixed);
  responder.fixed_ = std::move(payload);
  return responder;
}

Result<Responder> Responder::from_responses_text(std::string_view text, std::string_view name) {
  auto parsed = parse_script_json(text, name);
  if (!parsed) return std::move(parsed).take_failure();
  if (parsed.value().kind() != JsonValue::Kind::Object) {
    return Failure{std::string(name) + ": the file must hold one JSON object"};
  }
  for (const auto& member : parsed.value().as_object().members()) {
    if (Status known = known_command(member.first); !known) {
      return Failure{std::string(name) + ": " + known.error()};
    }
  }
  Responder responder(Mode::Responses);
  responder.responses_ = std::move(parsed.value().as_object());
  return responder;
}

Result<Responder> Responder::from_options(const HostOptions& options) {
  if (options.echo) return echo();
  if (options.raw_text) return fixed(*options.raw_text);
  if (options.payload_bytes) return fixed(payload_of_size(*options.payload_bytes));
  if (options.raw_file) {
    auto bytes = read_script_file(*options.raw_file, "--raw-file", MAX_RAW_FILE_BYTES);
    if (!bytes) return std::move(bytes).take_failure();
    return fixed(std::move(bytes).value());
  }
  if (options.responses_file) {
    auto text = read_script_file(*options.responses_file, "--responses", MAX_SCRIPT_FILE_BYTES);
    if (!text) return std::move(text).take_failure();
    return from_responses_text(text.value(), "--responses: " + *options.responses_file);
  }
  return builtin();
}

std::string Responder::answer(const std::optional<std::string_view>& request) const {
  if (mode_ == Mode::Fixed) return fixed_;
  if (!request) {
    if (mode_ == Mode::Echo) return echo_payload(nullptr);
    return failure_payload(nullptr, "BAD_REQUEST", "no request was read");
  }
  if (mode_ == Mode::Echo) {
    // Any valid JSON is echoed, objects or not: tests use it to see what the client sent.
    auto parsed = parse_json(*request);
    if (!parsed) {
      return failure_payload(nullptr, "BAD_REQUEST",
                             "request is not valid JSON: " + parsed.error());
    }
    return echo_payload(std::move(parsed).value());
  }
  auto understood = understand(*request);
  if (!understood) return std::move(understood).take_failure().message;
  const Request& parsed = understood.value();
  if (mode_ == Mode::Responses) {
    if (const JsonValue* canned = responses_.find(parsed.command)) return to_compact_text(*canned);
  }
  return builtin_answer(parsed);
}

std::string payload_of_size(std::uint64_t n) {
  if (n <= 1) return "1";
  std::string payload(static_cast<std::size_t>(n), 'a');
  payload.front() = '"';
  payload.back() = '"';
  return payload;
}

}  // namespace vtm::mock
