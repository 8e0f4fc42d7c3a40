#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "host_files.h"
#include "platform/platform.h"
#include "posix/file_descriptor.h"

namespace vtm::mock {
namespace {

Failure os_failure() { return Failure{platform::platform_error_text(errno)}; }

int open_retrying(const char* path, int flags) {
  for (;;) {
    const int fd = ::open(path, flags | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

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
  FileDescriptor fd(open_retrying(path.c_str(), O_RDONLY));
  if (fd.get() < 0) return os_failure();
  std::string bytes;
  constexpr std::size_t STEP = 1 << 16;
  for (;;) {
    const std::size_t before = bytes.size();
    bytes.resize(before + STEP);
    const ssize_t got = ::read(fd.get(), bytes.data() + before, STEP);
    if (got < 0) {
      if (errno == EINTR) {
        bytes.resize(before);
        continue;
      }
      return os_failure();
    }
    bytes.resize(before + static_cast<std::size_t>(got));
    if (got == 0) return bytes;
    if (bytes.size() > max_bytes) {
      return Failure{"larger than " + std::to_string(max_bytes) + " bytes"};
    }
  }
}

Result<std::unique_ptr<OutputStream>> create_output(const std::string& path) {
  const int fd = open_retrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND);
  if (fd < 0) return os_failure();
  return std::unique_ptr<OutputStream>(std::make_unique<FileOutput>(fd));
}

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat first {
  }, second{};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace vtm::mock
