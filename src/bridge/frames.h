#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

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

// Uninitialised bytes of a fixed size from bulk memory: a 192 MiB response is not zero-filled
// before it is read, and its pages come in large pieces.
class FrameBuffer {
 public:
  FrameBuffer() = default;
  FrameBuffer(FrameBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  FrameBuffer& operator=(FrameBuffer&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~FrameBuffer() { platform::release_bulk(data_, size_); }

  // False when the machine cannot hold that many bytes.
  bool allocate(std::size_t size) {
    platform::release_bulk(data_, size_);
    data_ = static_cast<char*>(platform::allocate_bulk(size));
    size_ = data_ != nullptr ? size : 0;
    return data_ != nullptr;
  }
  std::string_view view() const { return {data_, size_}; }
  std::span<char> bytes() { return {data_, size_}; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// The payload of one frame, read into a buffer reserved at the announced size.
Result<FrameBuffer> read_frame(platform::ByteStream& stream);

}  // namespace vtm
