#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"
#include "text/utf8.h"

namespace vtm::platform {

void exit_process(int status) { ::_exit(status); }

std::uint32_t process_id() { return static_cast<std::uint32_t>(::getpid()); }

UInt128 unix_time_nanoseconds() {
  timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || now.tv_sec < 0) return 0;
  return static_cast<UInt128>(now.tv_sec) * 1'000'000'000u + static_cast<UInt128>(now.tv_nsec);
}

std::optional<std::string> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  // A value that is not text cannot name the endpoint it was meant to.
  if (value == nullptr || !is_valid_utf8(value)) return std::nullopt;
  return std::string(value);
}

}  // namespace vtm::platform
