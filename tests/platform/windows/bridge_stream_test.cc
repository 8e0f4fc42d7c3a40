// Runs only in the Windows build: the bridge stream against real named pipes and files.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::string unique_pipe_path(const char* tag) {
  static int serial = 0;
  return "\\\\.\\pipe\\vtm-test-" + std::to_string(GetCurrentProcessId()) + "-" + tag + "-" +
         std::to_string(++serial);
}

UniqueHandle create_pipe(const std::string& path, DWORD max_instances = 1) {
  const std::wstring wide(path.begin(), path.end());
  HANDLE pipe = CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_DUPLEX,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, max_instances,
                                 65536, 65536, 0, nullptr);
  return UniqueHandle(pipe == INVALID_HANDLE_VALUE ? nullptr : pipe);
}

std::string read_server(HANDLE pipe, DWORD size) {
  std::string data(size, '\0');
  DWORD got = 0;
  if (!ReadFile(pipe, data.data(), size, &got, nullptr)) return "<read failed>";
  data.resize(got);
  return data;
}

TEST(BridgeStream, WritesAndReadsThroughANamedPipe) {
  const std::string path = unique_pipe_path("duplex");
  const UniqueHandle server = create_pipe(path);
  ASSERT_TRUE(server);
  auto opened = open_bridge_socket(path);
  ASSERT_TRUE(opened.ok()) << opened.error();
  ByteStream& stream = *opened.value();

  const std::string request("\x00\x00\x00\x02{}", 6);
  const IoResult written = stream.write_some(std::span(request.data(), request.size()));
  ASSERT_EQ(written.kind, IoResult::Kind::Done) << written.error_text;
  EXPECT_EQ(written.count, request.size());
  EXPECT_EQ(read_server(server.get(), 64), request);

  const std::string answer = "{\"success\":true}";
  DWORD sent = 0;
  ASSERT_TRUE(WriteFile(server.get(), answer.data(), static_cast<DWORD>(answer.size()), &sent,
                        nullptr));
  char buffer[64];
  const IoResult first = stream.read_some(std::span(buffer, 4));
  ASSERT_EQ(first.kind, IoResult::Kind::Done) << first.error_text;
  EXPECT_EQ(std::string(buffer, first.count), "{\"su");
  const IoResult rest = stream.read_some(std::span(buffer, sizeof buffer));
  ASSERT_EQ(rest.kind, IoResult::Kind::Done) << rest.error_text;
  EXPECT_EQ(std::string(buffer, rest.count), "ccess\":true}");
}

TEST(BridgeStream, HostClosingItsEndIsEndOfStreamOnRead) {
  const std::string path = unique_pipe_path("closed");
  UniqueHandle server = create_pipe(path);
  ASSERT_TRUE(server);
  auto opened = open_bridge_socket(path);
  ASSERT_TRUE(opened.ok()) << opened.error();
  const std::string tail = "xy";
  DWORD sent = 0;
  ASSERT_TRUE(WriteFile(server.get(), tail.data(), 2, &sent, nullptr));
  server.reset();

  char buffer[8];
  // What the host sent before closing is still delivered, then the end.
  const IoResult data = opened.value()->read_some(std::span(buffer, sizeof buffer));
  ASSERT_EQ(data.kind, IoResult::Kind::Done) << data.error_text;
  EXPECT_EQ(std::string(buffer, data.count), "xy");
  for (int i = 0; i < 2; ++i) {
    const IoResult end = opened.value()->read_some(std::span(buffer, sizeof buffer));
    EXPECT_EQ(end.kind, IoResult::Kind::Done) << end.error_text;
    EXPECT_EQ(end.count, 0u);
  }
  // Writing to a vanished host stays a failure with the platform's text.
  const IoResult written = opened.value()->write_some(std::span(tail.data(), tail.size()));
  EXPECT_EQ(written.kind, IoResult::Kind::Failed);
  EXPECT_NE(written.error_text.find(" (os error "), std::string::npos) << written.error_text;
}

TEST(BridgeStream, DestroyingTheStreamClosesTheClientEnd) {
  const std::string path = unique_pipe_path("close-once");
  const UniqueHandle server = create_pipe(path);
  ASSERT_TRUE(server);
  {
    auto opened = open_bridge_socket(path);
    ASSERT_TRUE(opened.ok()) << opened.error();
  }
  char byte = 0;
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(server.get(), &byte, 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

TEST(BridgeStream, RefusesAnOrdinaryFileAndLeavesItIntact) {
  wchar_t directory[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, directory), 0u);
  wchar_t file_name[MAX_PATH];
  ASSERT_NE(GetTempFileNameW(directory, L"vtm", 0, file_name), 0u);
  {
    const UniqueHandle file(CreateFileW(file_name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                        nullptr));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "abc", 3, &written, nullptr));
  }
  std::string path;
  for (const wchar_t* c = file_name; *c != 0; ++c) path.push_back(static_cast<char>(*c));
  const auto opened = open_bridge_socket(path);
  ASSERT_FALSE(opened.ok());
  EXPECT_EQ(opened.error(), platform_error_text(ERROR_BAD_PIPE));
  {
    const UniqueHandle file(CreateFileW(file_name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    char buffer[8];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "abc");
  }
  DeleteFileW(file_name);
}

TEST(BridgeStream, OpenNeverCreatesAndReportsThePlatformError) {
  const std::string path = unique_pipe_path("missing");
  const auto opened = open_bridge_socket(path);
  ASSERT_FALSE(opened.ok());
  EXPECT_EQ(opened.error(), platform_error_text(ERROR_FILE_NOT_FOUND));
  const std::wstring wide(path.begin(), path.end());
  EXPECT_EQ(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(BridgeStream, OpenFailsOnABusyPipeWithoutWaiting) {
  const std::string path = unique_pipe_path("busy");
  const UniqueHandle server = create_pipe(path, 1);
  ASSERT_TRUE(server);
  auto first = open_bridge_socket(path);
  ASSERT_TRUE(first.ok()) << first.error();
  const auto second = open_bridge_socket(path);
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.error(), platform_error_text(ERROR_PIPE_BUSY));
}

struct BadPathCase {
  const char* name;
  std::string path;
};

class BridgeStreamBadPath : public testing::TestWithParam<BadPathCase> {};

TEST_P(BridgeStreamBadPath, FailsWithAPlatformErrorText) {
  const auto opened = open_bridge_socket(GetParam().path);
  ASSERT_FALSE(opened.ok());
  EXPECT_NE(opened.error().find(" (os error "), std::string::npos) << opened.error();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BridgeStreamBadPath,
    testing::Values(BadPathCase{"Empty", ""},
                    BadPathCase{"NotUtf8", "\\\\.\\pipe\\vtm-\xFF"},
                    BadPathCase{"EmbeddedNul", std::string("C:\\windows\\win.ini\0x", 21)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BridgeStream, EmbeddedNulIsRefusedRatherThanTruncated) {
  // The part before the NUL names a file that exists; it must not be opened instead.
  const auto opened = open_bridge_socket(std::string("C:\\windows\\win.ini\0.pipe", 25));
  ASSERT_FALSE(opened.ok());
  EXPECT_EQ(opened.error(), platform_error_text(ERROR_INVALID_NAME));
}

}  // namespace
}  // namespace vtm::platform
