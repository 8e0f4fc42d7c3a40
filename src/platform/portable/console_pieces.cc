#include "platform/portable/console_pieces.h"

#include <algorithm>

#include "text/utf8.h"

namespace vtm::platform {

void ConsolePieces::start(std::string_view bytes) {
  rest_ = bytes;
  joined_pending_ = false;
  if (held_size_ == 0 || bytes.empty()) return;

  // A character has at most 4 bytes, so 3 more bytes settle whatever was held.
  const std::size_t borrowed = std::min<std::size_t>(3, bytes.size());
  std::copy_n(held_.begin(), held_size_, joined_.begin());
  std::copy_n(bytes.begin(), borrowed, joined_.begin() + held_size_);
  const std::string_view candidate(joined_.data(), held_size_ + borrowed);
  const Utf8Sequence sequence = decode_utf8_sequence(candidate);

  if (sequence.kind == Utf8Sequence::Kind::Truncated) {
    // Still unfinished: only possible when this whole write was a further part of it.
    std::copy_n(candidate.begin(), sequence.length, held_.begin());
    held_size_ = sequence.length;
    rest_ = {};
    return;
  }
  // Either completed, or cut short by a byte that cannot continue it; then the held bytes go
  // out alone as one ill-formed unit.
  joined_size_ = sequence.length;
  joined_pending_ = true;
  rest_.remove_prefix(sequence.length - held_size_);
  held_size_ = 0;
}

std::string_view ConsolePieces::next() {
  if (joined_pending_) {
    joined_pending_ = false;
    return {joined_.data(), joined_size_};
  }
  std::size_t size = 0;
  while (size < rest_.size()) {
    const Utf8Sequence sequence = decode_utf8_sequence(rest_.substr(size));
    if (sequence.kind == Utf8Sequence::Kind::Truncated) {
      std::copy_n(rest_.begin() + static_cast<std::ptrdiff_t>(size), sequence.length,
                  held_.begin());
      held_size_ = sequence.length;
      const std::string_view piece = rest_.substr(0, size);
      rest_ = {};
      return piece;
    }
    if (size + sequence.length > MAX_PIECE_BYTES) break;
    size += sequence.length;
  }
  const std::string_view piece = rest_.substr(0, size);
  rest_.remove_prefix(size);
  return piece;
}

}  // namespace vtm::platform
