// Runs only in the Windows build: error descriptions come from the system's message tables,
// whose wording differs between Windows and Wine, so only the shape is fixed here.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

class PlatformErrorTextFromSystem : public testing::TestWithParam<int> {};

TEST_P(PlatformErrorTextFromSystem, IsTheTrimmedSystemDescriptionAndTheCode) {
  const int code = GetParam();
  const std::string text = platform_error_text(code);
  const std::string suffix = " (os error " + std::to_string(code) + ")";
  ASSERT_GT(text.size(), suffix.size());
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
  const std::string description = text.substr(0, text.size() - suffix.size());
  EXPECT_EQ(description.rfind("OS Error ", 0), std::string::npos) << text;
  EXPECT_EQ(description.find_last_of(" \t\n\f\r"),
            description.find_last_of(" \t\n\f\r", description.size() - 2))
      << "trailing white space left in: " << text;
  EXPECT_EQ(std::string(" \t\n\f\r").find(description.back()), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Codes, PlatformErrorTextFromSystem,
                         testing::Values(ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
                                         ERROR_BROKEN_PIPE, ERROR_INVALID_NAME, ERROR_PIPE_BUSY,
                                         ERROR_NO_DATA));

TEST(PlatformErrorTextFromSystem, NtStatusCodesAreLookedUpWithoutTheFacilityBit) {
  // STATUS_OBJECT_NAME_NOT_FOUND with the facility bit. Windows' NTDLL has a message table for
  // it; Wine's has none and then only the fallback form is acceptable.
  const int code = static_cast<int>(0xC0000034u | 0x10000000u);
  const std::string text = platform_error_text(code);
  const std::string suffix = " (os error " + std::to_string(code) + ")";
  ASSERT_GT(text.size(), suffix.size());
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
  if (text.rfind("OS Error ", 0) == 0) {
    EXPECT_EQ(text.rfind("OS Error " + std::to_string(code) + " (FormatMessageW() returned error ",
                         0),
              0u)
        << text;
  }
}

TEST(PlatformErrorTextFromSystem, UnknownCodeFallsBackToTheLookupError) {
  const int code = 15999;
  const std::string text = platform_error_text(code);
  const std::string start = "OS Error 15999 (FormatMessageW() returned error ";
  EXPECT_EQ(text.rfind(start, 0), 0u) << text;
  const std::string end = ") (os error 15999)";
  ASSERT_GT(text.size(), start.size() + end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
  const std::string lookup_error =
      text.substr(start.size(), text.size() - start.size() - end.size());
  EXPECT_EQ(lookup_error.find_first_not_of("0123456789"), std::string::npos) << text;
  EXPECT_NE(lookup_error, "0") << text;
}

}  // namespace
}  // namespace vtm::platform
