#include "platform/portable/u128.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vtm::platform {
namespace {

struct DecimalCase {
  UInt128 value;
  const char* text;
};

class U128ToDecimal : public testing::TestWithParam<DecimalCase> {};

TEST_P(U128ToDecimal, WritesPlainDigits) {
  EXPECT_EQ(u128_to_decimal(GetParam().value), GetParam().text);
}

constexpr UInt128 TWO_TO_64 = static_cast<UInt128>(1) << 64;

INSTANTIATE_TEST_SUITE_P(
    Cases, U128ToDecimal,
    testing::Values(DecimalCase{0, "0"}, DecimalCase{7, "7"}, DecimalCase{10, "10"},
                    DecimalCase{1000000000, "1000000000"},
                    DecimalCase{std::numeric_limits<std::uint64_t>::max(), "18446744073709551615"},
                    DecimalCase{TWO_TO_64, "18446744073709551616"},
                    DecimalCase{TWO_TO_64 * 10 + 5, "184467440737095516165"},
                    DecimalCase{~static_cast<UInt128>(0),
                                "340282366920938463463374607431768211455"}));

}  // namespace
}  // namespace vtm::platform
