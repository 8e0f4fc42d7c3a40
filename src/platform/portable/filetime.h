#pragma once
#include <cstdint>

#include "platform/portable/u128.h"

namespace vtm::platform {

// A Windows system time (100-nanosecond ticks since 1601-01-01 UTC) as nanoseconds since
// 1970-01-01 UTC; 0 for a reading before 1970.
UInt128 filetime_to_unix_nanoseconds(std::uint64_t ticks);

}  // namespace vtm::platform
