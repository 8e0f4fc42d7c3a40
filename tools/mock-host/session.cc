#include "session.h"

#include <algorithm>
#include <limits>

#include "bridge/frames.h"
#include "json/write.h"
#include "proxy.h"
#include "scenario.h"

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
  const auto add = [&](bool on, const char* name) {
    if (on) names.emplace_back(name);
  };
  add(faults.no_read, "noRead");
  add(faults.close_without_answer, "close");
  add(faults.hang, "hang");
  add(faults.prefix.has_value(), "prefix");
  add(faults.short_bytes.has_value(), "short");
  add(!faults.extra.empty(), "extra");
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

SessionOutcome serve_connection(Connection& connection, std::uint64_t number,
                                const HostContext& host) {
  const int timeout_ms = io_timeout_ms(host.options);
  SessionOutcome outcome;
  Faults faults = host.options.faults;
  Choice choice;
  if (host.scenario) choice = host.scenario->choose_unread();
  if (choice.stub) faults = choice.stub->faults;

  std::optional<std::string> payload;
  if (!faults.no_read) {
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

  std::optional<Request> request;
  if (payload) {
    if (auto understood = understand(*payload)) request = std::move(understood).value();
  }
  if (host.scenario && !choice.stub) {
    if (request) choice = host.scenario->choose(request->command, request->arguments);
    if (choice.stub) {
      faults = choice.stub->faults;
    } else if (payload) {
      outcome.unmatched =
          request ? describe(*request) : "(not a request) " + to_compact_text(JsonValue(*payload));
    }
  }

  // What goes out: an answer of the host's own shaped by the faults, the proxy's relayed bytes,
  // or nothing. A large fixed answer goes out without a copy per connection, which would
  // otherwise count in every client's measured time: the answer views owned or fixed bytes.
  std::string owned;
  std::optional<std::string_view> answer;
  std::optional<std::string> relayed;
  const bool can_answer = faults.no_read || payload.has_value();
  // What reached the socket: "answer" only when all of it did.
  std::string_view sent = "nothing";
  // Journaled once the connection is over, so that the line says what reached the caller; a
  // held connection's line is written before it is held.
  const auto journal = [&] {
    if (!host.journal) return;
    JsonObject entry;
    entry.insert("connection", JsonValue::from_u64(number));
    entry.insert("command", request ? JsonValue(request->command) : JsonValue());
    entry.insert("arguments", request ? arguments_json(*request) : JsonArray{});
    entry.insert("requestId", request ? request->request_id : JsonValue());
    entry.insert("stub", choice.stub ? choice.stub->label : JsonValue());
    entry.insert("unmatched", outcome.unmatched.has_value());
    entry.insert("stateBefore", host.scenario ? JsonValue(choice.state_before) : JsonValue());
    entry.insert("stateAfter", host.scenario ? JsonValue(choice.state_after) : JsonValue());
    entry.insert("sent", std::string(sent));
    entry.insert("faults", host.proxy ? JsonArray{} : fault_names(faults));
    entry.insert("answer", answer ? JsonValue(std::string(*answer)) : JsonValue());
    entry.insert("problem", outcome.problem.empty() ? JsonValue() : JsonValue(outcome.problem));
    host.journal(entry);
  };

  if (host.proxy && payload) {
    auto forwarded = host.proxy->forward(outcome.received);
    if (forwarded) {
      if (!forwarded.value().problem.empty()) {
        outcome.problem = "proxy target: " + forwarded.value().problem;
        outcome.target_failed = true;
      }
      relayed = std::move(forwarded.value().bytes);
      if (request) host.proxy->capture(*request, forwarded.value());
      if (forwarded.value().payload) {
        owned = std::move(*forwarded.value().payload);
        answer = owned;
      }
    } else {
      outcome.problem = forwarded.error();
      outcome.target_failed = true;
      owned = failure_payload(request ? request->request_id : JsonValue(),
                              "PROXY_TARGET_UNAVAILABLE", forwarded.error());
      answer = owned;
    }
  } else if (faults.hang && payload) {
    outcome.held = true;
    journal();
    host.hold();
  } else if (can_answer && !faults.close_without_answer) {
    if (faults.delay_ms > 0) host.sleep_ms(faults.delay_ms);
    if (choice.stub) {
      owned = stub_answer(*choice.stub, request, host.responder, payload);
    } else if (outcome.unmatched && host.options.strict) {
      owned = failure_payload(request ? request->request_id : JsonValue(), "UNMATCHED_REQUEST",
                              "no stub matches the request: " + *outcome.unmatched);
    } else if (auto fixed = host.responder.fixed_bytes()) {
      answer = *fixed;
    } else {
      owned = own_answer(host.responder, payload);
    }
    if (!answer) answer = owned;
  } else if (faults.delay_ms > 0 && faults.close_without_answer) {
    host.sleep_ms(faults.delay_ms);
  }

  if (outcome.held) {
    connection.finish(timeout_ms);
    return outcome;
  }
  // The answer has its own time limit, counted once it is ready to go.
  const Deadline writing(timeout_ms);
  std::uint64_t sent_bytes = 0;
  std::uint64_t reply_bytes = 0;
  Status written = ok_status();
  if (relayed) {
    reply_bytes = relayed->size();
    written = write_all(connection, *relayed, writing, sent_bytes);
  } else if (answer) {
    const Reply reply = reply_for(faults, *answer);
    reply_bytes = reply.prefix.size() + reply.payload.size() + reply.extra.size();
    written = send_reply(connection, reply, writing, sent_bytes);
  }
  if (!written) outcome.problem = "write failed: " + written.error();
  if (reply_bytes > 0) sent = !written ? (sent_bytes > 0 ? "partial" : "nothing") : "answer";
  if (faults.no_read) {
    // Closing with the request unread would reset the connection and could destroy the answer
    // before the caller reads it: the request is taken and dropped until the caller closes.
    connection.end_writing();
    read_rest(connection, writing, nullptr, std::numeric_limits<std::uint64_t>::max());
  }
  journal();
  connection.finish(writing.remaining_ms());
  return outcome;
}

}  // namespace vtm::mock
