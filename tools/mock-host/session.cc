#include "session.h"

#include "bridge/frames.h"

#include <algorithm>
#include <limits>

namespace vtm::mock {
namespace {

int io_timeout(const HostOptions& options) {
  return static_cast<int>(
      std::min<std::uint64_t>(options.idle_ms, std::numeric_limits<int>::max()));
}

// Appends up to want bytes to out; false when the peer ended or failed first.
bool read_into(Connection& connection, std::string& out, std::size_t want, int timeout_ms,
               std::string& problem) {
  const std::size_t target = out.size() + want;
  // Grow in steps, so a prefix that promises much but delivers little costs little.
  constexpr std::size_t STEP = 1 << 16;
  while (out.size() < target) {
    const std::size_t before = out.size();
    const std::size_t chunk = std::min(target - before, STEP);
    out.resize(before + chunk);
    auto got = connection.read_some(out.data() + before, chunk, timeout_ms);
    if (!got) {
      out.resize(before);
      problem = "read failed: " + got.error();
      return false;
    }
    out.resize(before + got.value());
    if (got.value() == 0) {
      problem = "peer closed after " + std::to_string(out.size()) + " bytes";
      return false;
    }
  }
  return true;
}

}  // namespace

ReceivedRequest read_request(Connection& connection, int timeout_ms) {
  ReceivedRequest request;
  if (!read_into(connection, request.bytes, 4, timeout_ms, request.problem)) return request;
  const std::uint32_t length =
      decode_length_prefix(std::span<const char, 4>(request.bytes.data(), 4));
  if (length > MAX_ACCEPTED_REQUEST_BYTES) {
    request.problem = "request length " + std::to_string(length) + " refused";
    return request;
  }
  if (!read_into(connection, request.bytes, length, timeout_ms, request.problem)) return request;
  request.payload = request.bytes.substr(4);
  return request;
}

Reply reply_for(const HostOptions& options, std::string_view payload) {
  const std::uint32_t length =
      options.prefix ? *options.prefix : static_cast<std::uint32_t>(payload.size());
  const std::size_t sent =
      options.short_bytes
          ? static_cast<std::size_t>(std::min<std::uint64_t>(*options.short_bytes, payload.size()))
          : payload.size();
  return Reply{encode_length_prefix(length), payload.substr(0, sent), options.extra};
}

Status write_all(Connection& connection, std::string_view bytes, int timeout_ms) {
  while (!bytes.empty()) {
    auto wrote = connection.write_some(bytes.data(), bytes.size(), timeout_ms);
    if (!wrote) return std::move(wrote).take_failure();
    if (wrote.value() == 0) return Failure{"write accepted no bytes"};
    bytes.remove_prefix(wrote.value());
  }
  return ok_status();
}

SessionOutcome serve_connection(Connection& connection, const HostOptions& options,
                                const Responder& responder,
                                const std::function<void(std::string_view)>& record,
                                const std::function<void(std::uint64_t)>& sleep_ms) {
  const int timeout_ms = io_timeout(options);
  SessionOutcome outcome;
  std::optional<std::string> payload;
  if (!options.no_read) {
    ReceivedRequest request = read_request(connection, timeout_ms);
    outcome.received = std::move(request.bytes);
    outcome.problem = std::move(request.problem);
    payload = std::move(request.payload);
  }
  record(outcome.received);

  // Without a whole request there is nothing to answer; --no-read answers regardless.
  const bool answer = !options.close_without_answer && (options.no_read || payload);
  if (options.delay_ms > 0) sleep_ms(options.delay_ms);
  if (answer) {
    std::string answered;
    std::optional<std::string_view> bytes = responder.fixed_bytes();
    if (!bytes) {
      std::optional<std::string_view> request;
      if (payload) request = *payload;
      answered = responder.answer(request);
      bytes = answered;
    }
    const Reply reply = reply_for(options, *bytes);
    for (std::string_view piece :
         {std::string_view(reply.prefix.data(), reply.prefix.size()), reply.payload, reply.extra}) {
      Status written = write_all(connection, piece, timeout_ms);
      if (!written) {
        outcome.problem = "write failed: " + written.error();
        break;
      }
    }
  }
  connection.finish(timeout_ms);
  return outcome;
}

}  // namespace vtm::mock
