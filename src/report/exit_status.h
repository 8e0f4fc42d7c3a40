#pragma once
// The client's exit statuses: what scripts branch on.

namespace vtm {

// The host answered "success": true, or --version / --help was printed.
inline constexpr int STATUS_OK = 0;
// The host answered anything else, or the run failed (the error envelope on stderr).
inline constexpr int STATUS_FAILED = 1;
// Writing the output itself failed.
inline constexpr int STATUS_OUTPUT_FAILED = 101;

}  // namespace vtm
