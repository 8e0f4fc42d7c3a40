#include <windows.h>

#include <cstdint>

#include "platform/platform.h"
#include "platform/portable/filetime.h"

namespace vtm::platform {

void exit_process(int status) { ExitProcess(static_cast<UINT>(status)); }

std::uint32_t process_id() { return GetCurrentProcessId(); }

UInt128 unix_time_nanoseconds() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return filetime_to_unix_nanoseconds(ticks);
}

}  // namespace vtm::platform
