// Unix domain stream socket transport.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "listener.h"
#include "platform/platform.h"
#include "posix/file_descriptor.h"
#include "posix/stop_wait.h"

namespace vtm::mock {
namespace {

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

// A stop signal only raises a flag and wakes, through a pipe, whoever waits in
// wait_unless_stopped (the accepting thread, or the start-up reading a pipe), so the host can
// finish what it serves and write its files. A second one, for a host that does not
// stop, ends it at once, still removing its own socket. A signal handler may only touch
// static storage, hence the fixed buffers.
volatile sig_atomic_t g_stop_signal = 0;
int g_stop_pipe[2] = {-1, -1};
char g_socket_path[sizeof(sockaddr_un{}.sun_path)];
dev_t g_socket_device = 0;
ino_t g_socket_inode = 0;

// Removes the socket file only while it is still the one this host bound: another host may
// have taken the path since.
void remove_own_socket() {
  struct stat now {};
  if (g_socket_path[0] != '\0' && ::lstat(g_socket_path, &now) == 0 &&
      now.st_dev == g_socket_device && now.st_ino == g_socket_inode) {
    ::unlink(g_socket_path);
  }
}

extern "C" void request_stop(int signal_number) {
  const int saved_errno = errno;
  if (g_stop_signal != 0) {
    remove_own_socket();
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
  }
  g_stop_signal = signal_number;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(g_stop_pipe[1], &byte, 1);
  errno = saved_errno;
}

class UnixConnection final : public Connection {
 public:
  explicit UnixConnection(FileDescriptor fd) : fd_(std::move(fd)) {}

  Result<std::size_t> read_some(char* data, std::size_t size, int timeout_ms) override {
    for (;;) {
      auto ready = wait_ready(fd_.get(), POLLIN, timeout_ms);
      if (!ready) return std::move(ready).take_failure();
      if (!ready.value()) return Failure{"no data within " + std::to_string(timeout_ms) + " ms"};
      const ssize_t got = ::recv(fd_.get(), data, size, MSG_DONTWAIT);
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
      // Without MSG_DONTWAIT a large buffer would wait for room for all of it, past any limit.
      const ssize_t put = ::send(fd_.get(), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (put >= 0) return static_cast<std::size_t>(put);
      if (errno == EINTR || errno == EAGAIN) continue;
      return Failure{platform::platform_error_text(errno)};
    }
  }

  void end_writing() override { ::shutdown(fd_.get(), SHUT_WR); }

  // Closing a Unix socket keeps what was sent readable by the peer; nothing to flush.
  void finish(int) override { fd_.reset(); }

 private:
  FileDescriptor fd_;
};

class UnixListener final : public Listener {
 public:
  UnixListener(FileDescriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {
    keep_spare();
  }
  UnixListener(const UnixListener&) = delete;
  UnixListener& operator=(const UnixListener&) = delete;
  ~UnixListener() override {
    fd_.reset();
    remove_own_socket();
    g_socket_path[0] = '\0';
  }

  int fd() const { return fd_.get(); }

  Result<std::unique_ptr<Connection>> accept(int timeout_ms) override {
    for (;;) {
      auto woken = wait_unless_stopped(fd_.get(), POLLIN, timeout_ms);
      if (!woken) return std::move(woken).take_failure();
      if (woken.value() != Woken::ready) return std::unique_ptr<Connection>();
      const int fd = ::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0)
        return std::unique_ptr<Connection>(std::make_unique<UnixConnection>(FileDescriptor(fd)));
      // A client that gave up between poll and accept is no reason to stop.
      if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
      const int error = errno;
      // Out of descriptors: the spare one makes room to take the waiting connection and close
      // it, rather than leave it waiting and the poll above spinning.
      if (error == EMFILE || error == ENFILE) {
        spare_.reset();
        FileDescriptor refused(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        keep_spare();
      }
      return Failure{"a connection could not be taken: " + platform::platform_error_text(error)};
    }
  }

 private:
  void keep_spare() { spare_ = FileDescriptor(::open("/dev/null", O_RDONLY | O_CLOEXEC)); }

  FileDescriptor fd_;
  std::string path_;
  FileDescriptor spare_;
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

Result<Woken> wait_unless_stopped(int fd, short events, int timeout_ms) {
  // poll passes over a negative descriptor: fd's, to wait for the stop alone, and the pipe's
  // when it could not be made, which leaves the wait to its time limit.
  pollfd entries[2] = {{fd, events, 0}, {g_stop_pipe[0], POLLIN, 0}};
  for (;;) {
    const int ready = ::poll(entries, 2, timeout_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Failure{platform::platform_error_text(errno)};
    if (entries[1].revents != 0) return Woken::stopped;
    return ready == 0 ? Woken::timed_out : Woken::ready;
  }
}

Failure stopped_failure() { return Failure{"stopped by " + stop_requested().value_or("a signal")}; }

Result<std::unique_ptr<Listener>> listen(const std::string& path, std::uint64_t, bool& in_use) {
  in_use = false;
  auto checked = socket_address(path);
  if (!checked) return std::move(checked).take_failure();
  const sockaddr_un& address = checked.value();

  // Only a stale socket is removed: any other file at the path is somebody's data, and a
  // socket somebody answers on is another host's.
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) return Failure{"the path exists and is not a socket"};
    FileDescriptor probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (probe.get() < 0) return Failure{platform::platform_error_text(errno)};
    if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ||
        errno == EAGAIN) {
      in_use = true;
      return Failure{"another host is listening there"};
    }
    if (errno != ECONNREFUSED) return Failure{platform::platform_error_text(errno)};
    if (::unlink(path.c_str()) != 0) return Failure{platform::platform_error_text(errno)};
  }

  FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return Failure{platform::platform_error_text(errno)};
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    // Another host bound the path between the look and the bind.
    if (errno == EADDRINUSE) in_use = true;
    return Failure{platform::platform_error_text(errno)};
  }
  struct stat bound {};
  if (::lstat(path.c_str(), &bound) != 0) return Failure{platform::platform_error_text(errno)};
  g_socket_device = bound.st_dev;
  g_socket_inode = bound.st_ino;
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
  if (::pipe2(g_stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_stop_pipe[0] = g_stop_pipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = request_stop;
  sigemptyset(&action.sa_mask);
  // Restarted calls keep the serving threads' reads and writes going; every wait that a stop
  // must end polls the pipe.
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

std::optional<std::string> stop_requested() {
  switch (g_stop_signal) {
    case 0:
      return std::nullopt;
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(g_stop_signal);
  }
}

std::uint64_t connection_capacity() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
    return std::uint64_t{1} << 20;
  }
  // Each connection may need a second descriptor for the proxy's target; a few stay free for
  // the files the host writes and for the standard streams.
  constexpr rlim_t RESERVED = 32;
  return files.rlim_cur > RESERVED * 2 ? (files.rlim_cur - RESERVED) / 2 : 1;
}

}  // namespace vtm::mock
