#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

// A vanished reader must be an error value (EPIPE), never a kill by signal. Done once, before
// the first write, in a static initialiser of the one file that writes.
const bool SIGPIPE_IGNORED = [] {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  return ::sigaction(SIGPIPE, &action, nullptr) == 0;
}();

WriteOutcome failed_write(int fd, int error) {
  // The process was started without this stream; a stream that exists but cannot be
  // written (opened read-only) is a failure like any other.
  if (error == EBADF && ::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
    return {WriteOutcome::Kind::NoStream, {}};
  }
  return {WriteOutcome::Kind::Failed, platform_error_text(error)};
}

}  // namespace

WriteOutcome write_std(StdStream stream, std::string_view bytes) {
  return write_std(stream, std::span<const std::string_view>(&bytes, 1));
}

WriteOutcome write_std(StdStream stream, std::span<const std::string_view> pieces) {
  (void)SIGPIPE_IGNORED;
  const int fd = stream == StdStream::Out ? STDOUT_FILENO : STDERR_FILENO;
  std::vector<iovec> vectors;
  vectors.reserve(pieces.size());
  for (std::string_view piece : pieces) {
    if (!piece.empty()) vectors.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  // One gathered write where the pieces fit in one call; the loop takes the rest of a partial
  // write or of more pieces than one call accepts.
  iovec* next = vectors.data();
  iovec* const end = next + vectors.size();
  while (next != end) {
    const int count = static_cast<int>(std::min<std::ptrdiff_t>(end - next, IOV_MAX));
    const ssize_t n = ::writev(fd, next, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failed_write(fd, errno);
    }
    if (n == 0) return {WriteOutcome::Kind::Failed, platform_error_text(EIO)};
    auto done = static_cast<std::size_t>(n);
    while (next != end && done >= next->iov_len) {
      done -= next->iov_len;
      ++next;
    }
    if (done != 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + done;
      next->iov_len -= done;
    }
  }
  return {};
}

}  // namespace vtm::platform
