// Runs only in the Windows build: the clock and the process arguments as this process sees them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

// The child half: runs only when the parent below starts this program again with a command
// line of its own, and writes what arguments() made of it to a file.
TEST(ArgumentsChild, Report) {
  const char* report = std::getenv("VTM_ARGUMENTS_REPORT");
  if (report == nullptr) GTEST_SKIP() << "only as a child of ArgumentsFromCommandLine";
  std::ofstream out(report, std::ios::binary);
  const auto result = arguments();
  if (!result.ok()) {
    out << "failure:" << result.error();
    return;
  }
  for (const std::string& argument : result.value()) out << '[' << argument << ']';
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
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  // No standard handles: the child's own test output would only clutter this run's.
  startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessW(self, command_line.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableW(L"VTM_ARGUMENTS_REPORT", nullptr);
  ASSERT_TRUE(started);
  WaitForSingleObject(child.hProcess, INFINITE);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);

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
        CommandLineCase{"LoneSurrogate", L"ok \xD800x",
                        "failure:argument 3 is not valid UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vtm::platform
