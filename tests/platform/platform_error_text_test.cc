#include "platform/portable/platform_error_text.h"

#include <gtest/gtest.h>

namespace vtm::platform {
namespace {

struct ErrorTextCase {
  const char* description;
  int code;
  const char* text;
};

class PlatformErrorText : public testing::TestWithParam<ErrorTextCase> {};

TEST_P(PlatformErrorText, TrimsTrailingWhiteSpaceAndAppendsTheCode) {
  EXPECT_EQ(platform_error_text(GetParam().description, GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlatformErrorText,
    testing::Values(
        ErrorTextCase{"File not found.\r\n", 2, "File not found. (os error 2)"},
        ErrorTextCase{"All pipe instances are busy. \t\n\f\r", 231,
                      "All pipe instances are busy. (os error 231)"},
        ErrorTextCase{"  leading kept", 5, "  leading kept (os error 5)"},
        ErrorTextCase{"inner\r\nbreak kept\r\n", 1, "inner\r\nbreak kept (os error 1)"},
        ErrorTextCase{"vertical tab kept\v", 1, "vertical tab kept\v (os error 1)"},
        ErrorTextCase{" \r\n", 0, " (os error 0)"},
        ErrorTextCase{"", 109, " (os error 109)"},
        ErrorTextCase{"negative", -2147024891, "negative (os error -2147024891)"}));

TEST(FallbackDescriptions, NameTheCodeAndWhyItHasNoText) {
  EXPECT_EQ(message_lookup_failed_description(12345, 317),
            "OS Error 12345 (FormatMessageW() returned error 317)");
  EXPECT_EQ(message_invalid_utf16_description(42),
            "OS Error 42 (FormatMessageW() returned invalid UTF-16)");
  EXPECT_EQ(platform_error_text(message_lookup_failed_description(9, 15100), 9),
            "OS Error 9 (FormatMessageW() returned error 15100) (os error 9)");
}

}  // namespace
}  // namespace vtm::platform
