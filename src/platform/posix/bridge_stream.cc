#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

class SocketStream final : public ByteStream {
 public:
  explicit SocketStream(int fd) : fd_(fd) {}
  SocketStream(const SocketStream&) = delete;
  SocketStream& operator=(const SocketStream&) = delete;
  ~SocketStream() override { ::close(fd_); }

  IoResult write_some(std::span<const char> bytes) override {
    // MSG_NOSIGNAL: a host that went away is an error value, not a SIGPIPE.
    return result_of(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL));
  }
  IoResult read_some(std::span<char> buffer) override {
    return result_of(::recv(fd_, buffer.data(), buffer.size(), 0));
  }

 private:
  static IoResult result_of(ssize_t n) {
    if (n >= 0) return {IoResult::Kind::Done, static_cast<std::size_t>(n), {}};
    if (errno == EINTR) return {IoResult::Kind::Interrupted, 0, {}};
    return {IoResult::Kind::Failed, 0, platform_error_text(errno)};
  }

  int fd_;
};

}  // namespace

Result<std::unique_ptr<ByteStream>> open_bridge_socket(std::string_view path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // An empty path would name Linux's abstract namespace; a long one would be cut. Refuse both
  // rather than reach some other socket.
  if (path.empty()) return Failure{platform_error_text(EINVAL)};
  if (path.size() >= sizeof(address.sun_path)) return Failure{platform_error_text(ENAMETOOLONG)};
  // A NUL inside the path would silently shorten it.
  if (path.find('\0') != std::string_view::npos) return Failure{platform_error_text(EINVAL)};
  std::memcpy(address.sun_path, path.data(), path.size());

  // Non-blocking for the connect alone: a listener with a full backlog fails at once
  // ("Resource temporarily unavailable") instead of being waited for.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Failure{platform_error_text(errno)};
  auto stream = std::make_unique<SocketStream>(fd);
  int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  // Where a local connect still completes later, wait for its outcome rather than retry.
  if (rc != 0 && (errno == EINTR || errno == EINPROGRESS)) {
    pollfd waiter{fd, POLLOUT, 0};
    while ((rc = ::poll(&waiter, 1, -1)) < 0 && errno == EINTR) {
    }
    int error = 0;
    socklen_t size = sizeof(error);
    if (rc >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0) {
      rc = error == 0 ? 0 : -1;
      errno = error;
    }
  }
  if (rc == 0) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) rc = -1;
  }
  if (rc != 0) return Failure{platform_error_text(errno)};
  return std::unique_ptr<ByteStream>(std::move(stream));
}

}  // namespace vtm::platform
