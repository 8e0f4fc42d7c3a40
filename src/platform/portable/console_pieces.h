#pragma once
#include <array>
#include <cstddef>
#include <string_view>

namespace vtm::platform {

// Cuts the UTF-8 text of successive writes to one console into pieces small enough for one
// conversion to UTF-16 (at most MAX_PIECE_BYTES), never inside a character. A character that
// a write ends in the middle of is held back and completed by the next write, so text written
// in arbitrary slices still shows whole characters. Bytes that are not UTF-8 are never dropped:
// each ill-formed run is a unit of its own, which the conversion shows as U+FFFD.
class ConsolePieces {
 public:
  static constexpr std::size_t MAX_PIECE_BYTES = 4096;

  // Begins one write. The bytes must stay alive until next() has returned an empty piece.
  void start(std::string_view bytes);

  // The next piece of the current write; empty when the write is used up.
  std::string_view next();

  // Bytes of an unfinished character kept for the next write (0 to 3).
  std::string_view held() const { return {held_.data(), held_size_}; }

 private:
  std::array<char, 3> held_{};
  std::size_t held_size_ = 0;
  // A held beginning joined with its continuation from the following write.
  std::array<char, 6> joined_{};
  std::size_t joined_size_ = 0;
  bool joined_pending_ = false;
  std::string_view rest_;
};

}  // namespace vtm::platform
