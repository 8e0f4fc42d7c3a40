#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

namespace vtm::platform {

void exit_process(int status) { ::_exit(status); }

std::uint32_t process_id() { return static_cast<std::uint32_t>(::getpid()); }

UInt128 unix_time_nanoseconds() {
  timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || now.tv_sec < 0) return 0;
  return static_cast<UInt128>(now.tv_sec) * 1'000'000'000u +
         static_cast<UInt128>(now.tv_nsec);
}

std::optional<std::string> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace vtm::platform
