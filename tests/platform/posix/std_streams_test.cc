// Runs only in the POSIX build: writes to a standard stream that is absent, read-only or has
// lost its reader, with the real descriptors swapped out and restored around each write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

enum class Replacement { ReadOnlyFile, Closed, PipeWithoutReader };

WriteOutcome write_with_replaced(StdStream stream, Replacement replacement) {
  const int fd = stream == StdStream::Out ? STDOUT_FILENO : STDERR_FILENO;
  const int saved = ::dup(fd);
  if (saved < 0) return {WriteOutcome::Kind::Failed, "dup failed"};
  switch (replacement) {
    case Replacement::ReadOnlyFile: {
      const int file = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
      ::dup2(file, fd);
      ::close(file);
      break;
    }
    case Replacement::Closed:
      ::close(fd);
      break;
    case Replacement::PipeWithoutReader: {
      int ends[2];
      if (::pipe(ends) == 0) {
        ::close(ends[0]);
        ::dup2(ends[1], fd);
        ::close(ends[1]);
      }
      break;
    }
  }
  const WriteOutcome outcome = write_std(stream, "x");
  ::dup2(saved, fd);
  ::close(saved);
  return outcome;
}

struct WriteCase {
  const char* name;
  StdStream stream;
  Replacement replacement;
  WriteOutcome::Kind kind;
  int error;  // when Failed
};

class WriteStd : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteStd, TellsAnAbsentStreamFromAFailingOne) {
  const WriteCase& c = GetParam();
  const WriteOutcome outcome = write_with_replaced(c.stream, c.replacement);
  EXPECT_EQ(outcome.kind, c.kind) << outcome.error_text;
  const std::string expected =
      c.kind == WriteOutcome::Kind::Failed
          ? std::string(std::strerror(c.error)) + " (os error " + std::to_string(c.error) + ")"
          : "";
  EXPECT_EQ(outcome.error_text, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteStd,
    testing::Values(WriteCase{"ReadOnlyStdout", StdStream::Out, Replacement::ReadOnlyFile,
                              WriteOutcome::Kind::Failed, EBADF},
                    WriteCase{"ReadOnlyStderr", StdStream::Err, Replacement::ReadOnlyFile,
                              WriteOutcome::Kind::Failed, EBADF},
                    WriteCase{"ClosedStdout", StdStream::Out, Replacement::Closed,
                              WriteOutcome::Kind::NoStream, 0},
                    WriteCase{"ClosedStderr", StdStream::Err, Replacement::Closed,
                              WriteOutcome::Kind::NoStream, 0},
                    // A signal would end this test process instead.
                    WriteCase{"ReaderGone", StdStream::Out, Replacement::PipeWithoutReader,
                              WriteOutcome::Kind::Failed, EPIPE}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vtm::platform
