#include "platform/portable/filetime.h"

namespace vtm::platform {

namespace {
constexpr std::uint64_t UNIX_EPOCH_TICKS = 116444736000000000ULL;
constexpr std::int64_t TICKS_PER_SECOND = 10000000;
constexpr std::int64_t NANOSECONDS_PER_TICK = 100;
}  // namespace

UInt128 filetime_to_unix_nanoseconds(std::uint64_t ticks) {
  // The difference is read as a signed 64-bit value (modular conversion), so readings before
  // the epoch, and absurd ones past 2^63 ticks, come out negative and count as "before 1970".
  const auto since_epoch = static_cast<std::int64_t>(ticks - UNIX_EPOCH_TICKS);
  if (since_epoch < 0) return 0;
  const std::int64_t seconds = since_epoch / TICKS_PER_SECOND;
  const std::int64_t nanoseconds = (since_epoch % TICKS_PER_SECOND) * NANOSECONDS_PER_TICK;
  return static_cast<UInt128>(seconds) * 1000000000U + static_cast<UInt128>(nanoseconds);
}

}  // namespace vtm::platform
