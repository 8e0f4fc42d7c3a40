// Runs only in the Windows build: writes to the standard handles, swapped for pipes and bad
// handles for the length of each test.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

class SwappedStdHandle {
 public:
  SwappedStdHandle(DWORD which, HANDLE replacement) : which_(which), saved_(GetStdHandle(which)) {
    SetStdHandle(which, replacement);
  }
  ~SwappedStdHandle() { SetStdHandle(which_, saved_); }
  SwappedStdHandle(const SwappedStdHandle&) = delete;
  SwappedStdHandle& operator=(const SwappedStdHandle&) = delete;

 private:
  DWORD which_;
  HANDLE saved_;
};

struct Pipe {
  Pipe() { CreatePipe(&read, &write, nullptr, 1 << 20); }
  ~Pipe() {
    if (read != nullptr) CloseHandle(read);
    if (write != nullptr) CloseHandle(write);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  std::string drain() const {
    std::string all;
    DWORD available = 0;
    while (PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      std::string chunk(available, '\0');
      DWORD got = 0;
      if (!ReadFile(read, chunk.data(), available, &got, nullptr)) break;
      all.append(chunk, 0, got);
    }
    return all;
  }
  HANDLE read = nullptr;
  HANDLE write = nullptr;
};

struct StreamCase {
  const char* name;
  StdStream stream;
  DWORD which;
};

class WriteStd : public testing::TestWithParam<StreamCase> {};

TEST_P(WriteStd, PipeGetsTheBytesUnchanged) {
  Pipe pipe;
  ASSERT_NE(pipe.write, nullptr);
  const SwappedStdHandle swap(GetParam().which, pipe.write);
  // Not UTF-8 and a character split across writes: a pipe takes bytes as they are.
  const std::string first = "{\"a\":\"\xC3\xA9\xF0\x9F";
  const std::string second = std::string("\x98\x80\xFF\0\"}\n", 7);
  EXPECT_EQ(write_std(GetParam().stream, first).kind, WriteOutcome::Kind::Written);
  EXPECT_EQ(write_std(GetParam().stream, second).kind, WriteOutcome::Kind::Written);
  EXPECT_EQ(pipe.drain(), first + second);
}

TEST_P(WriteStd, NoHandleDropsTheText) {
  for (HANDLE missing : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    const SwappedStdHandle swap(GetParam().which, missing);
    EXPECT_EQ(write_std(GetParam().stream, "text\n").kind, WriteOutcome::Kind::NoStream);
  }
}

TEST_P(WriteStd, ClosedHandleDropsTheText) {
  Pipe pipe;
  HANDLE stale = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), pipe.write, GetCurrentProcess(), &stale, 0,
                              FALSE, DUPLICATE_SAME_ACCESS));
  CloseHandle(stale);
  const SwappedStdHandle swap(GetParam().which, stale);
  EXPECT_EQ(write_std(GetParam().stream, "text\n").kind, WriteOutcome::Kind::NoStream);
}

TEST_P(WriteStd, ReaderGoneIsAFailureWithThePlatformText) {
  Pipe pipe;
  CloseHandle(pipe.read);
  pipe.read = nullptr;
  const SwappedStdHandle swap(GetParam().which, pipe.write);
  const WriteOutcome outcome = write_std(GetParam().stream, "text\n");
  EXPECT_EQ(outcome.kind, WriteOutcome::Kind::Failed);
  EXPECT_EQ(outcome.error_text, platform_error_text(ERROR_NO_DATA));
}

INSTANTIATE_TEST_SUITE_P(Streams, WriteStd,
                         testing::Values(StreamCase{"Out", StdStream::Out, STD_OUTPUT_HANDLE},
                                         StreamCase{"Err", StdStream::Err, STD_ERROR_HANDLE}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vtm::platform
