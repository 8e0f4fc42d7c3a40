// The console stop as the host's Windows sources wait on it: listener_windows.cc owns the
// handler and the event it raises.
#pragma once
#include <windows.h>

#include "result.h"

namespace vtm::mock {

// Raised once a console stop came; null before prepare_process.
HANDLE stop_event();

// "stopped by Ctrl+C": what a wait the stop ended fails with.
Failure stopped_failure();

// While it lives, a stop cancels the synchronous reads of the thread that made it: a console
// cannot overlap, and Ctrl+C does not end every console read by itself. One at a time.
class StopCancelsReads {
 public:
  StopCancelsReads();
  ~StopCancelsReads();
  StopCancelsReads(const StopCancelsReads&) = delete;
  StopCancelsReads& operator=(const StopCancelsReads&) = delete;

 private:
  HANDLE thread_ = nullptr;
};

}  // namespace vtm::mock
