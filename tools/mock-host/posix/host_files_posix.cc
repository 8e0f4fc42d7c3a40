#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "host_files.h"
#include "platform/platform.h"
#include "posix/file_descriptor.h"
#include "posix/stop_wait.h"

namespace vtm::mock {
namespace {

Failure os_failure() { return Failure{platform::platform_error_text(errno)}; }

int open_retrying(const char* path, int flags) {
  for (;;) {
    const int fd = ::open(path, flags | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

bool is_fifo(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// How often a FIFO without a reader is tried again: the kernel offers no wait for a reader
// that a stop can end.
constexpr int READER_RETRY_MS = 100;

class FileOutput final : public OutputStream {
 public:
  explicit FileOutput(int fd) : fd_(fd) {}
  Status append(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t wrote = ::write(fd_.get(), bytes.data(), bytes.size());
      if (wrote < 0) {
        if (errno == EINTR) continue;
        return os_failure();
      }
      bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return ok_status();
  }

 private:
  FileDescriptor fd_;
};

}  // namespace

Result<std::string> read_whole_file(const std::string& path, std::uint64_t max_bytes) {
  // Opened and read without blocking, so that the one wait is the poll that a stop ends: a FIFO
  // would block the open until a writer comes, a pipe or a terminal each read until bytes come.
  FileDescriptor fd(open_retrying(path.c_str(), O_RDONLY | O_NONBLOCK));
  if (fd.get() < 0) return os_failure();
  std::string bytes;
  constexpr std::size_t STEP = 1 << 16;
  for (;;) {
    auto woken = wait_unless_stopped(fd.get(), POLLIN, -1);
    if (!woken) return std::move(woken).take_failure();
    if (woken.value() == Woken::stopped) return stopped_failure();
    const std::size_t before = bytes.size();
    bytes.resize(before + STEP);
    const ssize_t got = ::read(fd.get(), bytes.data() + before, STEP);
    if (got < 0) {
      const int error = errno;
      bytes.resize(before);
      if (error == EINTR || error == EAGAIN) continue;
      return Failure{platform::platform_error_text(error)};
    }
    bytes.resize(before + static_cast<std::size_t>(got));
    if (got == 0) return bytes;
    if (bytes.size() > max_bytes) {
      return Failure{"larger than " + std::to_string(max_bytes) + " bytes"};
    }
  }
}

Result<std::unique_ptr<OutputStream>> create_output(const std::string& path) {
  for (;;) {
    // Not blocking: a FIFO without a reader refuses at once instead of holding the open.
    const int fd =
        open_retrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_NONBLOCK);
    if (fd >= 0) {
      // Writes block as they always did: a reader that lags must not cost an entry.
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return std::unique_ptr<OutputStream>(std::make_unique<FileOutput>(fd));
    }
    const int error = errno;
    // A FIFO is written once its reader comes, as a blocking open would wait for it.
    if (error != ENXIO || !is_fifo(path)) return Failure{platform::platform_error_text(error)};
    auto woken = wait_unless_stopped(-1, 0, READER_RETRY_MS);
    if (!woken) return std::move(woken).take_failure();
    if (woken.value() == Woken::stopped) return stopped_failure();
  }
}

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat first {
  }, second{};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace vtm::mock
