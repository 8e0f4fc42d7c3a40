// Runs only in the Windows build: the clock and the process arguments as this process sees them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "bridge/exchange.h"
#include "bridge/frames.h"
#include "platform/platform.h"

namespace vtm::platform {
namespace {

TEST(Clock, ReadsNanosecondsSince1970InWholeTicks) {
  const auto before = static_cast<UInt128>(std::time(nullptr));
  const UInt128 nanoseconds = unix_time_nanoseconds();
  const auto after = static_cast<UInt128>(std::time(nullptr));
  EXPECT_EQ(nanoseconds % 100, 0u);
  EXPECT_GE(nanoseconds / 1000000000, before - 1);
  EXPECT_LE(nanoseconds / 1000000000, after + 1);
}

// Starts program with exactly this command line, its stdout and stderr going to output (an
// inheritable handle, or nullptr for none), and waits for it. Its exit status; nullopt when it
// could not start or had to be stopped.
std::optional<DWORD> run_child(const wchar_t* program, std::wstring command_line, HANDLE output) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION child{};
  if (!CreateProcessW(program, command_line.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                      nullptr, &startup, &child)) {
    return std::nullopt;
  }
  std::optional<DWORD> status;
  DWORD code = 0;
  if (WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(child.hProcess, &code)) {
    status = code;
  } else {
    TerminateProcess(child.hProcess, 1);
  }
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return status;
}

// The child half: runs only when the parent below starts this program again with a command
// line of its own, and writes what arguments() made of it to a file.
TEST(ArgumentsChild, Report) {
  const char* report = std::getenv("VTM_ARGUMENTS_REPORT");
  if (report == nullptr) GTEST_SKIP() << "only as a child of ArgumentsFromCommandLine";
  std::ofstream out(report, std::ios::binary);
  ASSERT_TRUE(out) << "cannot write " << report;
  const auto result = arguments();
  if (result.ok()) {
    for (const std::string& argument : result.value()) out << '[' << argument << ']';
  } else {
    out << "failure:" << result.error();
  }
  out.close();
  // The parent checks this child's exit status: a report that was not written fails here.
  EXPECT_TRUE(out) << "cannot write " << report;
}

struct CommandLineCase {
  const char* name;
  std::wstring arguments;  // what follows the program and the filter
  std::string report;
};

class ArgumentsFromCommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(ArgumentsFromCommandLine, SplitsAndConverts) {
  wchar_t self[MAX_PATH];
  ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  wchar_t directory[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, directory), 0u);
  const std::wstring report = std::wstring(directory) + L"vtm-arguments-" +
                              std::to_wstring(GetCurrentProcessId()) + L".txt";
  DeleteFileW(report.c_str());
  SetEnvironmentVariableW(L"VTM_ARGUMENTS_REPORT", report.c_str());
  // The filter is an argument too; the report shows it first.
  std::wstring command_line = L"\"" + std::wstring(self) +
                              L"\" --gtest_filter=ArgumentsChild.Report " + GetParam().arguments;
  // No standard handles: the child's own test output would only clutter this run's.
  const std::optional<DWORD> status = run_child(self, command_line, nullptr);
  SetEnvironmentVariableW(L"VTM_ARGUMENTS_REPORT", nullptr);
  ASSERT_TRUE(status);
  EXPECT_EQ(*status, 0u) << "the child's own checks failed";

  std::ifstream in(std::filesystem::path(report), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  in.close();
  DeleteFileW(report.c_str());
  EXPECT_EQ(text.str(), GetParam().report);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgumentsFromCommandLine,
    testing::Values(
        CommandLineCase{"Plain", L"click --x 120",
                        "[--gtest_filter=ArgumentsChild.Report][click][--x][120]"},
        CommandLineCase{"Quoted", L"type \"a b\" \"\"",
                        "[--gtest_filter=ArgumentsChild.Report][type][a b][]"},
        CommandLineCase{"BackslashesAndQuotes", L"\"C:\\dir\\\\\" a\\\\\\\"b",
                        "[--gtest_filter=ArgumentsChild.Report][C:\\dir\\][a\\\"b]"},
        CommandLineCase{"NonAscii", L"\u00E9\xD83D\xDE00",
                        "[--gtest_filter=ArgumentsChild.Report][\xC3\xA9\xF0\x9F\x98\x80]"},
        CommandLineCase{"DoubledQuotes", L"type \"a \"\"b\"\" c\" x --json",
                        "[--gtest_filter=ArgumentsChild.Report][type][a \"b\" c][x][--json]"},
        CommandLineCase{"LoneSurrogate", L"ok \xD800x", "failure:argument 3 is not valid UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// The host's end of a named pipe, so the client's own frame codec reads and answers on it.
class ServerEnd final : public ByteStream {
 public:
  explicit ServerEnd(HANDLE pipe) : pipe_(pipe) {}
  IoResult write_some(std::span<const char> bytes) override {
    DWORD done = 0;
    if (!WriteFile(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr)) {
      return {IoResult::Kind::Failed, 0, "write failed"};
    }
    return {IoResult::Kind::Done, done, {}};
  }
  IoResult read_some(std::span<char> buffer) override {
    DWORD done = 0;
    if (!ReadFile(pipe_, buffer.data(), static_cast<DWORD>(buffer.size()), &done, nullptr)) {
      return {IoResult::Kind::Failed, 0, "read failed"};
    }
    return {IoResult::Kind::Done, done, {}};
  }

 private:
  HANDLE pipe_;
};

// The real client, started with a raw command line: the quoted argument with doubled quotes
// reaches the request whole, and the --json after it still selects the compact output.
TEST(ClientCommandLine, DoubledQuotesReachTheRequestAndJsonStaysAnOption) {
  wchar_t self[MAX_PATH];
  ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::filesystem::path client = std::filesystem::path(self).parent_path() / VTM_CLIENT_FROM_TESTS;
  client.make_preferred();

  const std::wstring pipe_path =
      L"\\\\.\\pipe\\vtm-client-arguments-" + std::to_wstring(GetCurrentProcessId());
  const UniqueHandle pipe(CreateNamedPipeW(pipe_path.c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                           65536, 65536, 0, nullptr));
  ASSERT_NE(pipe.get(), INVALID_HANDLE_VALUE);
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inheritable, 65536));
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::string request;
  std::thread host([&] {
    ServerEnd stream(pipe.get());
    if (!ConnectNamedPipe(pipe.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
    const auto frame = read_frame(stream);
    if (frame.ok()) request = std::string(frame.value().view());
    // Without an answer the client would wait for one; cut it off instead.
    if (!frame.ok() || !write_frame(stream, R"({"success":true})").ok()) {
      DisconnectNamedPipe(pipe.get());
    }
  });

  const std::wstring variable(BRIDGE_SOCKET_VARIABLE,
                              BRIDGE_SOCKET_VARIABLE + std::strlen(BRIDGE_SOCKET_VARIABLE));
  SetEnvironmentVariableW(variable.c_str(), pipe_path.c_str());
  const std::optional<DWORD> status =
      run_child(client.c_str(), L"vantelmirectl type \"a \"\"b\"\" c\" x --json", write_end);
  SetEnvironmentVariableW(variable.c_str(), nullptr);
  CloseHandle(write_end);
  std::string output;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    output.append(buffer, got);
  }
  CloseHandle(read_end);
  // A client that never connected leaves the host waiting: connect once to release it.
  const HANDLE release = CreateFileW(pipe_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  if (release != INVALID_HANDLE_VALUE) CloseHandle(release);
  host.join();

  ASSERT_TRUE(status) << "could not run " << client.string();
  EXPECT_EQ(output, "{\"success\":true}\n");
  EXPECT_EQ(*status, 0u);
  EXPECT_NE(request.find(R"("command":"type")"), std::string::npos) << request;
  EXPECT_NE(request.find(R"("arguments":["a \"b\" c","x"])"), std::string::npos) << request;
}

}  // namespace
}  // namespace vtm::platform
