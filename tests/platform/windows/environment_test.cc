// Runs only in the Windows build: the environment through GetEnvironmentVariableW.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name_, nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const wchar_t* name_;
};

TEST(EnvironmentVariable, AbsentIsNothing) {
  SetEnvironmentVariableW(L"VTM_TEST_ABSENT", nullptr);
  EXPECT_EQ(environment_variable("VTM_TEST_ABSENT"), std::nullopt);
}

TEST(EnvironmentVariable, EmptyIsAValue) {
  const ScopedVariable variable(L"VTM_TEST_EMPTY", L"");
  EXPECT_EQ(environment_variable("VTM_TEST_EMPTY"), std::optional<std::string>(""));
}

struct ValueCase {
  const char* name;
  std::wstring value;
  std::optional<std::string> expected;
};

class EnvironmentVariableValue : public testing::TestWithParam<ValueCase> {};

TEST_P(EnvironmentVariableValue, ReadsAsUtf8OrNotAtAll) {
  const ScopedVariable variable(L"VTM_TEST_VALUE", GetParam().value.c_str());
  EXPECT_EQ(environment_variable("VTM_TEST_VALUE"), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, EnvironmentVariableValue,
    testing::Values(
        ValueCase{"PipePath", L"\\\\.\\pipe\\vantelmire-bridge",
                  std::string("\\\\.\\pipe\\vantelmire-bridge")},
        ValueCase{"Unused", L" padded ", std::string(" padded ")},
        ValueCase{"NonAscii", L"\u00E9\xD83D\xDE00", std::string("\xC3\xA9\xF0\x9F\x98\x80")},
        // Longer than the first buffer, so the read has to grow it.
        ValueCase{"Long", std::wstring(5000, L'x'), std::string(5000, 'x')},
        ValueCase{"LoneSurrogate", L"a\xD800" L"b", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace vtm::platform
