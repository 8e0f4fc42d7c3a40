// Unix domain stream socket transport.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "listener.h"
#include "platform/platform.h"

namespace vtm::mock {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~FileDescriptor() { reset(); }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// Waits until fd is ready for events: true when ready, false on time-out, a failure otherwise.
Result<bool> wait_ready(int fd, short events, int timeout_ms) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int ready = ::poll(&entry, 1, timeout_ms);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return Failure{platform::platform_error_text(errno)};
  }
}

// The socket path is removed on every way out, signals included, so the next run starts clean.
// A signal handler may only touch static storage, hence the fixed buffer.
char g_socket_path[sizeof(sockaddr_un{}.sun_path)];

extern "C" void remove_socket_and_die(int signal_number) {
  if (g_socket_path[0] != '\0') ::unlink(g_socket_path);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

class UnixConnection final : public Connection {
 public:
  explicit UnixConnection(FileDescriptor fd) : fd_(std::move(fd)) {}

  Result<std::size_t> read_some(char* data, std::size_t size, int timeout_ms) override {
    for (;;) {
      auto ready = wait_ready(fd_.get(), POLLIN, timeout_ms);
      if (!ready) return std::move(ready).take_failure();
      if (!ready.value()) return Failure{"no data within " + std::to_string(timeout_ms) + " ms"};
      const ssize_t got = ::recv(fd_.get(), data, size, 0);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno == EINTR || errno == EAGAIN) continue;
      // A peer that reset the stream has ended it, as far as the host is concerned.
      if (errno == ECONNRESET) return std::size_t{0};
      return Failure{platform::platform_error_text(errno)};
    }
  }

  Result<std::size_t> write_some(const char* data, std::size_t size, int timeout_ms) override {
    for (;;) {
      auto ready = wait_ready(fd_.get(), POLLOUT, timeout_ms);
      if (!ready) return std::move(ready).take_failure();
      if (!ready.value()) {
        return Failure{"peer read nothing within " + std::to_string(timeout_ms) + " ms"};
      }
      const ssize_t put = ::send(fd_.get(), data, size, MSG_NOSIGNAL);
      if (put >= 0) return static_cast<std::size_t>(put);
      if (errno == EINTR || errno == EAGAIN) continue;
      return Failure{platform::platform_error_text(errno)};
    }
  }

  // Closing a Unix socket keeps what was sent readable by the peer; nothing to flush.
  void finish(int) override { fd_.reset(); }

 private:
  FileDescriptor fd_;
};

class UnixListener final : public Listener {
 public:
  UnixListener(FileDescriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  UnixListener(const UnixListener&) = delete;
  UnixListener& operator=(const UnixListener&) = delete;
  ~UnixListener() override {
    fd_.reset();
    ::unlink(path_.c_str());
    g_socket_path[0] = '\0';
  }

  int fd() const { return fd_.get(); }

  Result<std::unique_ptr<Connection>> accept(int timeout_ms) override {
    for (;;) {
      auto ready = wait_ready(fd_.get(), POLLIN, timeout_ms);
      if (!ready) return std::move(ready).take_failure();
      if (!ready.value()) return std::unique_ptr<Connection>();
      const int fd = ::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0)
        return std::unique_ptr<Connection>(std::make_unique<UnixConnection>(FileDescriptor(fd)));
      // A client that gave up between poll and accept is no reason to stop.
      if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
      return Failure{platform::platform_error_text(errno)};
    }
  }

 private:
  FileDescriptor fd_;
  std::string path_;
};

// Refused rather than truncated: a shortened path would be somebody else's socket.
Result<sockaddr_un> socket_address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path) ||
      path.find('\0') != std::string::npos) {
    return Failure{"the path must have 1 to " + std::to_string(sizeof(address.sun_path) - 1) +
                   " bytes"};
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  return address;
}

}  // namespace

Result<std::unique_ptr<Listener>> listen(const std::string& path, std::uint64_t) {
  auto checked = socket_address(path);
  if (!checked) return std::move(checked).take_failure();
  const sockaddr_un& address = checked.value();

  // Only a stale socket is removed; any other file at the path is somebody's data.
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) return Failure{"the path exists and is not a socket"};
    if (::unlink(path.c_str()) != 0) return Failure{platform::platform_error_text(errno)};
  }

  FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return Failure{platform::platform_error_text(errno)};
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    return Failure{platform::platform_error_text(errno)};
  }
  std::memcpy(g_socket_path, path.c_str(), path.size() + 1);
  // From here the listener owns the socket file and removes it whatever happens next.
  auto listener = std::make_unique<UnixListener>(std::move(fd), path);
  // Room for a burst of callers arriving together, as agents running commands in parallel do.
  if (::listen(listener->fd(), 64) != 0) return Failure{platform::platform_error_text(errno)};
  return std::unique_ptr<Listener>(std::move(listener));
}

Result<std::unique_ptr<Connection>> connect_to(const std::string& path) {
  auto address = socket_address(path);
  if (!address) return std::move(address).take_failure();
  FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return Failure{platform::platform_error_text(errno)};
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address.value()),
                sizeof(sockaddr_un)) != 0) {
    return Failure{platform::platform_error_text(errno)};
  }
  return std::unique_ptr<Connection>(std::make_unique<UnixConnection>(std::move(fd)));
}

void prepare_process() {
  ::signal(SIGPIPE, SIG_IGN);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
    ::signal(signal_number, remove_socket_and_die);
}

}  // namespace vtm::mock
