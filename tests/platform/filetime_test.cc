#include "platform/portable/filetime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/portable/u128.h"

namespace vtm::platform {
namespace {

constexpr std::uint64_t EPOCH = 116444736000000000ULL;

struct FiletimeCase {
  const char* name;
  std::uint64_t ticks;
  const char* nanoseconds;
};

class FiletimeToUnix : public testing::TestWithParam<FiletimeCase> {};

TEST_P(FiletimeToUnix, CountsFrom1970InWholeTicks) {
  const std::string text = u128_to_decimal(filetime_to_unix_nanoseconds(GetParam().ticks));
  EXPECT_EQ(text, GetParam().nanoseconds);
  if (text != "0") {
    EXPECT_EQ(text.substr(text.size() - 2), "00");
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, FiletimeToUnix,
    testing::Values(
        FiletimeCase{"Year1601", 0, "0"},
        FiletimeCase{"JustBeforeEpoch", EPOCH - 1, "0"},
        FiletimeCase{"AtEpoch", EPOCH, "0"},
        FiletimeCase{"OneTickAfter", EPOCH + 1, "100"},
        FiletimeCase{"JustUnderOneSecond", EPOCH + 9999999, "999999900"},
        FiletimeCase{"OneSecond", EPOCH + 10000000, "1000000000"},
        // 2026-12-05T21:30:00.1234567 UTC
        FiletimeCase{"PresentDay", EPOCH + 17965062001234567ULL, "1796506200123456700"},
        // The largest reading whose difference still fits a signed 64-bit value.
        FiletimeCase{"LargestDifference", EPOCH + 0x7FFFFFFFFFFFFFFFULL,
                     "922337203685477580700"},
        // Past that the difference reads as negative: treated like a clock before 1970.
        FiletimeCase{"DifferenceWraps", EPOCH + 0x8000000000000000ULL, "0"},
        FiletimeCase{"MaximumReading", ~0ULL, "0"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace vtm::platform
