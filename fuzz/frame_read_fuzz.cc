// Any bytes a host could send, delivered in pieces of varying size: reading one frame and parsing
// it must end in a value or a failure message, never a crash, a hang or a read past the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "bridge/frames.h"
#include "json/parse.h"

namespace {

class ReplayStream final : public vtm::platform::ByteStream {
 public:
  explicit ReplayStream(std::string_view bytes) : bytes_(bytes) {}
  vtm::platform::IoResult write_some(std::span<const char> bytes) override {
    return {vtm::platform::IoResult::Kind::Done, bytes.size(), {}};
  }
  vtm::platform::IoResult read_some(std::span<char> buffer) override {
    // The first byte steers the piece size so short reads are exercised too.
    const std::size_t piece = bytes_.empty() ? 1 : 1 + static_cast<unsigned char>(bytes_[0]) % 7;
    const std::size_t n = std::min({buffer.size(), bytes_.size(), piece});
    std::copy_n(bytes_.data(), n, buffer.data());
    bytes_.remove_prefix(n);
    return {vtm::platform::IoResult::Kind::Done, n, {}};
  }

 private:
  std::string_view bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReplayStream stream({reinterpret_cast<const char*>(data), size});
  vtm::Result<vtm::FrameBuffer> frame = vtm::read_frame(stream);
  if (frame.ok()) (void)vtm::parse_json(frame.value().view());
  return 0;
}
