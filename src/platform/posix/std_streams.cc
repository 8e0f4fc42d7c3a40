#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

// A vanished reader must be an error value (EPIPE), never a kill by signal. Done once, before
// the first write, in a static initialiser of the one file that writes.
const bool g_sigpipe_ignored = [] {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  return ::sigaction(SIGPIPE, &action, nullptr) == 0;
}();

}  // namespace

WriteOutcome write_std(StdStream stream, std::string_view bytes) {
  (void)g_sigpipe_ignored;
  const int fd = stream == StdStream::Out ? STDOUT_FILENO : STDERR_FILENO;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      // The process was started without this stream; a stream that exists but cannot be
      // written (opened read-only) is a failure like any other.
      if (errno == EBADF && ::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
        return {WriteOutcome::Kind::NoStream, {}};
      }
      if (errno == EBADF) return {WriteOutcome::Kind::Failed, os_error_text(EBADF)};
      return {WriteOutcome::Kind::Failed, os_error_text(errno)};
    }
    if (n == 0) return {WriteOutcome::Kind::Failed, os_error_text(EIO)};
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

}  // namespace vtm::platform
