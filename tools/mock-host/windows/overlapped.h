// One overlapped operation with its own event, for the host's Windows sources: every wait on
// it is bounded in time or ended by a stop.
#pragma once
#include <windows.h>

#include <utility>

#include "windows/handle.h"

namespace vtm::mock {

class Overlapped {
 public:
  Overlapped() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    overlapped_.hEvent = event_.get();
  }
  OVERLAPPED* get() { return &overlapped_; }
  bool valid() const { return event_.valid(); }

  // After the call reported ERROR_IO_PENDING: the final byte count, or the error code. A
  // time-out, or the stop event (when given) being raised first, cancels the operation and
  // reports WAIT_TIMEOUT or ERROR_CANCELLED, unless it completed meanwhile.
  std::pair<DWORD, DWORD> finish(HANDLE file, DWORD timeout_ms, HANDLE stop = nullptr) {
    const HANDLE events[2] = {event_.get(), stop};
    const DWORD waited = WaitForMultipleObjects(stop != nullptr ? 2 : 1, events, FALSE, timeout_ms);
    DWORD bytes = 0;
    if (waited == WAIT_TIMEOUT || waited == WAIT_OBJECT_0 + 1) {
      CancelIoEx(file, &overlapped_);
      if (GetOverlappedResult(file, &overlapped_, &bytes, TRUE)) return {bytes, ERROR_SUCCESS};
      const DWORD error = GetLastError();
      if (error != ERROR_OPERATION_ABORTED) return {0, error};
      return {0, waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : ERROR_CANCELLED};
    }
    if (GetOverlappedResult(file, &overlapped_, &bytes, TRUE)) return {bytes, ERROR_SUCCESS};
    return {0, GetLastError()};
  }

 private:
  Handle event_;
  OVERLAPPED overlapped_{};
};

}  // namespace vtm::mock
