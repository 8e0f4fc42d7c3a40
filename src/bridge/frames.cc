#include "bridge/frames.h"

#include <new>

namespace vtm {

namespace {

// Moves the whole span through one primitive: interrupted calls are repeated, a call that moves
// nothing ends it with `stalled`.
template <class Span, class Move>
Status move_all(Span bytes, Move move, const char* stalled) {
  while (!bytes.empty()) {
    platform::IoResult r = move(bytes);
    switch (r.kind) {
      case platform::IoResult::Kind::Interrupted:
        continue;
      case platform::IoResult::Kind::Failed:
        return Failure{std::move(r.error_text)};
      case platform::IoResult::Kind::Done:
        if (r.count == 0) return Failure{stalled};
        bytes = bytes.subspan(std::min(r.count, bytes.size()));
        break;
    }
  }
  return ok_status();
}

}  // namespace

Status write_all(platform::ByteStream& stream, std::span<const char> bytes) {
  return move_all(
      bytes, [&](std::span<const char> rest) { return stream.write_some(rest); },
      "failed to write whole buffer");
}

Status read_exact(platform::ByteStream& stream, std::span<char> buffer) {
  return move_all(
      buffer, [&](std::span<char> rest) { return stream.read_some(rest); },
      "failed to fill whole buffer");
}

std::array<char, 4> encode_length_prefix(std::uint32_t length) {
  return {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
          static_cast<char>(length >> 8), static_cast<char>(length)};
}

std::uint32_t decode_length_prefix(std::span<const char, 4> prefix) {
  const auto byte = [&](int i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(prefix[i]));
  };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

Status write_frame(platform::ByteStream& stream, std::string_view payload) {
  if (Status s =
          write_all(stream, encode_length_prefix(static_cast<std::uint32_t>(payload.size())));
      !s) {
    return s;
  }
  return write_all(stream, payload);
}

Result<FrameBuffer> read_frame(platform::ByteStream& stream) {
  std::array<char, 4> prefix{};
  if (Status s = read_exact(stream, prefix); !s) return std::move(s).take_failure();
  const std::uint32_t n = decode_length_prefix(prefix);
  if (n == 0 || n > MAX_RESPONSE_FRAME_BYTES)
    return Failure{"control response frame size is invalid"};

  FrameBuffer frame;
  // A size the machine cannot hold is a failure, not a crash.
  if (!frame.allocate(n)) {
    return Failure{"control response of " + std::to_string(n) + " bytes does not fit in memory"};
  }
  if (Status s = read_exact(stream, frame.bytes()); !s) {
    return std::move(s).take_failure();
  }
  return frame;
}

}  // namespace vtm
