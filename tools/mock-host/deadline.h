#pragma once
// The time limit of one phase of a connection (taking the request, giving the answer): every
// read or write in it waits at most what is left, so a peer that trickles bytes or stops
// reading cannot stretch the phase past the limit.
#include <algorithm>
#include <chrono>
#include <string>

namespace vtm::mock {

class Deadline {
 public:
  explicit Deadline(int limit_ms)
      : limit_ms_(limit_ms), end_(Clock::now() + std::chrono::milliseconds(limit_ms)) {}

  int limit_ms() const { return limit_ms_; }
  // Rounded up, so that 0 means the limit has passed.
  int remaining_ms() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, limit_ms_));
  }
  bool passed() const { return remaining_ms() == 0; }
  std::string describe() const { return "the " + std::to_string(limit_ms_) + " ms time limit"; }

 private:
  using Clock = std::chrono::steady_clock;
  int limit_ms_;
  Clock::time_point end_;
};

}  // namespace vtm::mock
