// Waiting on a descriptor the way the host's POSIX sources do: a stop signal ends the wait.
// listener_posix.cc owns the signal handler and the pipe it writes to.
#pragma once
#include "result.h"

namespace vtm::mock {

enum class Woken { ready, stopped, timed_out };

// Waits until fd is ready for events (poll's), a stop signal came or timeout_ms passed (-1:
// no limit). A stop wins over readiness; a negative fd waits for the stop alone.
Result<Woken> wait_unless_stopped(int fd, short events, int timeout_ms);

// "stopped by SIGx": what a wait the stop ended fails with.
Failure stopped_failure();

}  // namespace vtm::mock
