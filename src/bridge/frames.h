#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "result.h"

namespace vtm {

inline constexpr std::uint32_t MAX_REQUEST_FRAME_BYTES = 4'194'304;
inline constexpr std::uint32_t MAX_RESPONSE_FRAME_BYTES = 201'326'592;

// The 4-byte big-endian length prefix, by explicit shifts, never a host-order copy.
std::array<char, 4> encode_length_prefix(std::uint32_t length);
std::uint32_t decode_length_prefix(std::span<const char, 4> prefix);

Status write_all(platform::ByteStream& stream, std::span<const char> bytes);
Status read_exact(platform::ByteStream& stream, std::span<char> buffer);

// The 4-byte big-endian length prefix, then the payload, as two separate writes.
Status write_frame(platform::ByteStream& stream, std::string_view payload);

// Uninitialised bytes of a fixed size: a 192 MiB response is not zero-filled before it is read.
struct FrameBuffer {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  std::string_view view() const { return {data.get(), size}; }
};

// The payload of one frame, read into a buffer reserved at the announced size.
Result<FrameBuffer> read_frame(platform::ByteStream& stream);

}  // namespace vtm
