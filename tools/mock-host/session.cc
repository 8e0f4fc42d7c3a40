#include "session.h"

#include <algorithm>
#include <limits>

#include "base64.h"
#include "bridge/frames.h"
#include "json/write.h"
#include "proxy.h"
#include "scenario.h"
#include "text/utf8.h"

namespace vtm::mock {
namespace {

// Appends up to want bytes to out; false when the peer ended, failed or was too slow first.
bool read_into(Connection& connection, std::string& out, std::size_t want, const Deadline& deadline,
               ReceivedFrame& frame) {
  const std::size_t target = out.size() + want;
  // Grow in steps, so a prefix that promises much but delivers little costs little.
  constexpr std::size_t STEP = 1 << 16;
  while (out.size() < target) {
    const std::size_t before = out.size();
    const std::size_t chunk = std::min(target - before, STEP);
    out.resize(before + chunk);
    auto got = connection.read_some(out.data() + before, chunk, deadline.remaining_ms());
    if (!got) {
      out.resize(before);
      frame.timed_out = deadline.passed();
      frame.problem = frame.timed_out ? "read timed out: " + std::to_string(before) +
                                            " bytes arrived within " + deadline.describe()
                                      : "read failed: " + got.error();
      return false;
    }
    out.resize(before + got.value());
    if (got.value() == 0) {
      frame.problem = "peer closed after " + std::to_string(out.size()) + " bytes";
      return false;
    }
  }
  return true;
}

// Sends the pieces in order; sent counts what went out.
Status send_reply(Connection& connection, const Reply& reply, const Deadline& deadline,
                  std::uint64_t& sent) {
  for (std::string_view piece :
       {std::string_view(reply.prefix.data(), reply.prefix.size()), reply.payload, reply.extra}) {
    if (Status written = write_all(connection, piece, deadline, sent); !written) return written;
  }
  return ok_status();
}

// The names of the faults in force, for the journal.
JsonArray fault_names(const Faults& faults) {
  JsonArray names;
  for (const FaultEntry& entry : FAULTS) {
    if (in_force(entry, faults)) names.emplace_back(std::string(entry.member));
  }
  return names;
}

std::string describe(const Request& request) {
  return request.command + " " + to_compact_text(arguments_json(request));
}

// The host's own answer to what arrived (nothing, when the request was not read).
std::string own_answer(const Responder& responder, const std::optional<std::string>& payload) {
  std::optional<std::string_view> text;
  if (payload) text = *payload;
  return responder.answer(text);
}

}  // namespace

std::string rfc3339_utc_milliseconds(std::uint64_t unix_ms) {
  // Days to a civil date in the proleptic Gregorian calendar, counted in 400-year eras.
  const std::uint64_t days = unix_ms / 86'400'000 + 719'468;
  const std::uint64_t era = days / 146'097;
  const std::uint64_t day_of_era = days - era * 146'097;
  const std::uint64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
  const std::uint64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::uint64_t shifted_month = (5 * day_of_year + 2) / 153;
  const std::uint64_t day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const std::uint64_t month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  const std::uint64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  const std::uint64_t in_day = unix_ms % 86'400'000;
  std::string text;
  const auto put = [&](std::uint64_t value, int width, char after) {
    std::string digits = std::to_string(value);
    if (digits.size() < static_cast<std::size_t>(width))
      digits.insert(0, width - digits.size(), '0');
    text += digits;
    text += after;
  };
  put(year, 4, '-');
  put(month, 2, '-');
  put(day, 2, 'T');
  put(in_day / 3'600'000, 2, ':');
  put(in_day / 60'000 % 60, 2, ':');
  put(in_day / 1000 % 60, 2, '.');
  put(in_day % 1000, 3, 'Z');
  return text;
}

ReceivedFrame read_frame(Connection& connection, const Deadline& deadline,
                         std::uint32_t max_length) {
  ReceivedFrame frame;
  if (!read_into(connection, frame.bytes, 4, deadline, frame)) return frame;
  const std::uint32_t length =
      decode_length_prefix(std::span<const char, 4>(frame.bytes.data(), 4));
  if (length > max_length) {
    frame.problem = "frame length " + std::to_string(length) + " refused";
    return frame;
  }
  if (!read_into(connection, frame.bytes, length, deadline, frame)) return frame;
  frame.payload = frame.bytes.substr(4);
  return frame;
}

std::uint64_t read_rest(Connection& connection, const Deadline& deadline, std::string* out,
                        std::uint64_t limit) {
  std::uint64_t total = 0;
  char buffer[1 << 14];
  while (total < limit) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, limit - total));
    auto got = connection.read_some(buffer, want, deadline.remaining_ms());
    if (!got || got.value() == 0) break;
    if (out) out->append(buffer, got.value());
    total += got.value();
  }
  return total;
}

Reply reply_for(const Faults& faults, std::string_view payload) {
  const std::uint32_t length =
      faults.prefix ? *faults.prefix : static_cast<std::uint32_t>(payload.size());
  const std::size_t sent =
      faults.short_bytes
          ? static_cast<std::size_t>(std::min<std::uint64_t>(*faults.short_bytes, payload.size()))
          : payload.size();
  return Reply{encode_length_prefix(length), payload.substr(0, sent), faults.extra};
}

Status write_all(Connection& connection, std::string_view bytes, const Deadline& deadline,
                 std::uint64_t& sent) {
  while (!bytes.empty()) {
    auto wrote = connection.write_some(bytes.data(), bytes.size(), deadline.remaining_ms());
    if (!wrote) {
      if (deadline.passed()) {
        return Failure{"the peer took " + std::to_string(sent) + " bytes within " +
                       deadline.describe()};
      }
      return std::move(wrote).take_failure();
    }
    if (wrote.value() == 0) return Failure{"write accepted no bytes"};
    sent += wrote.value();
    bytes.remove_prefix(wrote.value());
  }
  return ok_status();
}

std::string stub_answer(const Stub& stub, const std::optional<Request>& request,
                        const Responder& responder, const std::optional<std::string>& payload) {
  if (stub.raw) return *stub.raw;
  if (stub.response) {
    // As the app does: the answer carries the id of the request it answers.
    if (stub.response->kind() == JsonValue::Kind::Object && request &&
        stub.response->as_object().find("requestId") == nullptr) {
      JsonObject response = stub.response->as_object();
      response.insert("requestId", request->request_id);
      return to_compact_text(response);
    }
    return to_compact_text(*stub.response);
  }
  return own_answer(responder, payload);
}

namespace {

// What one connection is to get, decided before anything goes out.
struct Plan {
  enum class Send { Nothing, Answer, Relay, Hold };
  Send send = Send::Nothing;
  Faults faults;
  Choice choice;
  std::optional<Request> request;
  std::optional<std::string> unmatched;
  std::string owned;                      // an answer made for this connection
  std::optional<std::string_view> fixed;  // or the host's fixed bytes, borrowed
  std::string_view answer() const { return fixed ? *fixed : std::string_view(owned); }
};

// A payload that is not a request, as the unmatched list shows it.
std::string describe_bytes(std::string_view payload) {
  if (is_valid_utf8(payload))
    return "(not a request) " + to_compact_text(JsonValue(std::string(payload)));
  return "(not a request, base64) " + to_base64(payload);
}

// Picks the answer from what arrived. `plan` already holds the faults and the stub chosen
// before reading, if one was.
void decide(Plan& plan, const std::optional<std::string>& payload, const HostContext& host) {
  if (payload) {
    if (auto understood = understand(*payload)) plan.request = std::move(understood).value();
  }
  if (host.scenario && !plan.choice.stub && plan.request) {
    plan.choice = host.scenario->choose(plan.request->command, plan.request->arguments);
    if (plan.choice.stub) plan.faults = plan.choice.stub->faults;
  }
  const bool answered_by_stub = plan.choice.stub != nullptr;
  // In spy mode what no stub takes goes to the real host.
  if (host.proxy && payload && !answered_by_stub) {
    plan.send = Plan::Send::Relay;
    return;
  }
  if (host.scenario && !answered_by_stub && payload) {
    plan.unmatched = plan.request ? describe(*plan.request) : describe_bytes(*payload);
  }
  const bool can_answer = plan.faults.no_read || payload.has_value();
  if (plan.faults.hang && payload) {
    plan.send = Plan::Send::Hold;
  } else if (can_answer && !plan.faults.close_without_answer) {
    plan.send = Plan::Send::Answer;
    if (answered_by_stub) {
      plan.owned = stub_answer(*plan.choice.stub, plan.request, host.responder, payload);
    } else if (plan.unmatched && host.options.strict) {
      plan.owned =
          failure_payload(plan.request ? plan.request->request_id : JsonValue(),
                          "UNMATCHED_REQUEST", "no stub matches the request: " + *plan.unmatched);
    } else if (auto fixed = host.responder.fixed_bytes()) {
      plan.fixed = *fixed;
    } else {
      plan.owned = own_answer(host.responder, payload);
    }
  }
}

// Asks the real host; what it says is sent on as it came, and kept in the capture.
void relay(Plan& plan, const std::string& received, const HostContext& host,
           SessionOutcome& outcome) {
  auto forwarded = host.proxy->forward(received);
  if (!forwarded) {
    outcome.problem = forwarded.error();
    outcome.target_failed = true;
    plan.send = Plan::Send::Answer;
    plan.owned = failure_payload(plan.request ? plan.request->request_id : JsonValue(),
                                 "PROXY_TARGET_UNAVAILABLE", forwarded.error());
    return;
  }
  if (!forwarded.value().problem.empty()) {
    outcome.problem = "proxy target: " + forwarded.value().problem;
    outcome.target_failed = true;
  }
  if (plan.request) host.proxy->capture(*plan.request, forwarded.value());
  plan.owned = std::move(forwarded.value().bytes);
  if (forwarded.value().payload) plan.fixed = std::string_view(plan.owned).substr(4);
}

// One journal line. The answer goes as text when it is UTF-8, else as base64, so the line is
// JSON whatever the bytes.
JsonObject journal_entry(const Plan& plan, const SessionOutcome& outcome, std::uint64_t number,
                         const HostContext& host, const Timing& timing) {
  const std::optional<Request>& request = plan.request;
  const bool sent = plan.send == Plan::Send::Answer || plan.send == Plan::Send::Relay;
  const bool whole = sent && (plan.send == Plan::Send::Answer || plan.fixed);
  JsonObject entry;
  entry.insert("connection", JsonValue::from_u64(number));
  entry.insert("time", timing.accepted);
  entry.insert("durationMs", JsonValue::from_u64(timing.duration_ms));
  entry.insert("bytesSent", JsonValue::from_u64(outcome.bytes_sent));
  entry.insert("command", request ? JsonValue(request->command) : JsonValue());
  entry.insert("arguments", request ? arguments_json(*request) : JsonArray{});
  entry.insert("requestId", request ? request->request_id : JsonValue());
  entry.insert("stub", plan.choice.stub ? plan.choice.stub->label : JsonValue());
  entry.insert("unmatched", plan.unmatched.has_value());
  entry.insert("stateBefore", host.scenario ? JsonValue(plan.choice.state_before) : JsonValue());
  entry.insert("stateAfter", host.scenario ? JsonValue(plan.choice.state_after) : JsonValue());
  entry.insert("sent", std::string(outcome.sent));
  entry.insert("faults", plan.send == Plan::Send::Relay ? JsonArray{} : fault_names(plan.faults));
  const std::string_view answer = plan.answer();
  const bool text = is_valid_utf8(answer);
  entry.insert("answer", whole && text ? JsonValue(std::string(answer)) : JsonValue());
  if (whole && !text) entry.insert("answerBase64", to_base64(answer));
  entry.insert("problem", outcome.problem.empty() ? JsonValue() : JsonValue(outcome.problem));
  return entry;
}

}  // namespace

SessionOutcome serve_connection(Connection& connection, std::uint64_t number,
                                const HostContext& host) {
  const int timeout_ms = io_timeout_ms(host.options);
  Timing timing{rfc3339_utc_milliseconds(host.wall_clock_ms()), 0};
  const std::uint64_t started = host.steady_clock_ms();
  SessionOutcome outcome;
  Plan plan;
  plan.faults = host.options.faults;
  if (host.scenario) plan.choice = host.scenario->choose_unread();
  if (plan.choice.stub) plan.faults = plan.choice.stub->faults;

  std::optional<std::string> payload;
  if (!plan.faults.no_read) {
    ReceivedFrame request = read_request(connection, Deadline(timeout_ms));
    if (request.bytes.empty() && !request.payload && !request.timed_out) {
      outcome.silent = true;
      connection.finish(0);
      return outcome;
    }
    outcome.received = std::move(request.bytes);
    outcome.problem = std::move(request.problem);
    payload = std::move(request.payload);
  }
  host.record(outcome.received);
  decide(plan, payload, host);
  outcome.unmatched = plan.unmatched;

  const auto journal = [&] {
    timing.duration_ms = host.steady_clock_ms() - started;
    if (host.journal) host.journal(journal_entry(plan, outcome, number, host, timing));
  };
  if (plan.send == Plan::Send::Hold) {
    outcome.held = true;
    journal();
    host.hold();
    connection.finish(timeout_ms);
    return outcome;
  }
  if (plan.send == Plan::Send::Relay) relay(plan, outcome.received, host, outcome);
  // A delay with a close waits, then closes without answering.
  const bool delayed = plan.send == Plan::Send::Answer ||
                       (plan.send == Plan::Send::Nothing && plan.faults.close_without_answer);
  if (delayed && plan.faults.delay_ms > 0) host.sleep_ms(plan.faults.delay_ms);

  // The answer has its own time limit, counted once it is ready to go.
  const Deadline writing(timeout_ms);
  std::uint64_t reply_bytes = 0;
  Status written = ok_status();
  if (plan.send == Plan::Send::Relay) {
    reply_bytes = plan.owned.size();
    written = write_all(connection, plan.owned, writing, outcome.bytes_sent);
  } else if (plan.send == Plan::Send::Answer) {
    const Reply reply = reply_for(plan.faults, plan.answer());
    reply_bytes = reply.prefix.size() + reply.payload.size() + reply.extra.size();
    written = send_reply(connection, reply, writing, outcome.bytes_sent);
  }
  if (!written) outcome.problem = "write failed: " + written.error();
  if (reply_bytes > 0) {
    outcome.sent = written ? "answer" : outcome.bytes_sent > 0 ? "partial" : "nothing";
  }
  if (plan.faults.no_read) {
    // Closing with the request unread would reset the connection and could destroy the answer
    // before the caller reads it: the request is taken and dropped until the caller closes.
    connection.end_writing();
    read_rest(connection, writing, nullptr, std::numeric_limits<std::uint64_t>::max());
  }
  // After the answer, so the line can say what reached the socket; before the close, which a
  // caller of a faulty answer waits for.
  journal();
  connection.finish(writing.remaining_ms());
  return outcome;
}

}  // namespace vtm::mock
