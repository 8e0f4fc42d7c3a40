// A scripted caller for the end-to-end tests, for what the real client never does: stop
// reading, send byte by byte, hold many connections open at once. Usage:
//   e2e_caller PATH call N        N requests one after another; each answer's bytes in hex
//   e2e_caller PATH stall MS      send a request, then read nothing for MS ms
//   e2e_caller PATH trickle MS    send a request one byte at a time, MS ms apart
//   e2e_caller PATH hold N        N connections at once, each sends a request and reads its
//                                 answer frame, and none closes before all were answered
//   e2e_caller PATH silent MS     listens at PATH and takes one connection, within MS ms, that
//                                 it sends nothing; says when it listens, when the peer came
//                                 and when it went
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/frames.h"
#include "listener.h"
#include "session.h"

namespace {

using namespace vtm::mock;
using vtm::MAX_RESPONSE_FRAME_BYTES;

constexpr int LIMIT_MS = 120000;

std::string request_frame() {
  const std::string payload =
      R"({"arguments":[],"command":"click","protocolVersion":1,"requestId":"caller"})";
  const auto prefix = vtm::encode_length_prefix(static_cast<std::uint32_t>(payload.size()));
  return std::string(prefix.data(), prefix.size()) + payload;
}

std::string hex(const std::string& bytes) {
  static constexpr char DIGITS[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += DIGITS[c >> 4];
    text += DIGITS[c & 15];
  }
  return text;
}

void pause_ms(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void say(const char* line) {
  std::puts(line);
  std::fflush(stdout);
}

int run(const std::string& path, const std::string& mode, long number) {
  const std::string request = request_frame();
  if (mode == "silent") {
    bool in_use = false;
    auto listener = listen(path, 1, in_use);
    if (!listener) return 1;
    say("listening");
    auto accepted = listener.value()->accept(static_cast<int>(number));
    if (!accepted || !accepted.value()) return 1;
    say("connected");
    char byte = 0;
    std::size_t got = 0;
    for (;;) {
      auto read = accepted.value()->read_some(&byte, 1, static_cast<int>(number));
      if (!read || read.value() == 0) break;
      ++got;
    }
    std::printf("gone after %zu bytes\n", got);
    return 0;
  }
  if (mode == "hold") {
    std::vector<std::unique_ptr<Connection>> open;
    int answered = 0;
    for (long i = 0; i < number; ++i) {
      auto connection = connect_to(path);
      if (!connection) continue;
      std::uint64_t sent = 0;
      if (!write_all(*connection.value(), request, Deadline(LIMIT_MS), sent)) continue;
      open.push_back(std::move(connection).value());
    }
    for (auto& connection : open) {
      if (read_frame(*connection, Deadline(LIMIT_MS), MAX_RESPONSE_FRAME_BYTES).payload) ++answered;
    }
    std::printf("answered %d of %ld\n", answered, number);
    return 0;
  }
  for (long call = 0; call < (mode == "call" ? number : 1); ++call) {
    auto connection = connect_to(path);
    if (!connection) {
      std::printf("cannot connect: %s\n", connection.error().c_str());
      return 1;
    }
    Connection& peer = *connection.value();
    if (mode == "stall") {
      std::uint64_t sent = 0;
      [[maybe_unused]] auto ignored = write_all(peer, request, Deadline(LIMIT_MS), sent);
      pause_ms(number);
      return 0;
    }
    if (mode == "trickle") {
      std::size_t sent = 0;
      for (; sent < request.size(); ++sent) {
        if (!peer.write_some(&request[sent], 1, LIMIT_MS)) break;
        pause_ms(number);
      }
      std::printf("sent %s\n", sent == request.size() ? "all" : "part");
      return 0;
    }
    std::uint64_t sent = 0;
    if (!write_all(peer, request, Deadline(LIMIT_MS), sent)) return 1;
    std::string answer;
    read_rest(peer, Deadline(LIMIT_MS), &answer, MAX_RESPONSE_FRAME_BYTES);
    std::printf("%s\n", hex(answer).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: e2e_caller PATH call|stall|trickle|hold|silent NUMBER\n", stderr);
    return 2;
  }
  prepare_process();
  return run(argv[1], argv[2], std::stol(argv[3]));
}
