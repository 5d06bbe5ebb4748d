#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "text/digits.h"

namespace {

// Every length of number, at the edges where the digits are taken four,
// two or one at a time, by both writers, and the largest value; appended
// after what the text already holds.
TEST(AppendUnsignedTest, EveryLengthAgreesWithToString)
{
    std::vector<std::uint64_t> values = {std::numeric_limits<std::uint64_t>::max()};
    std::uint64_t power = 1;
    for (int digits = 1; digits <= 20; ++digits, power *= 10) {
        values.insert(values.end(), {power - 1, power, power + 1, power * 7 + 3, power * 9 + power / 2});
        if (digits == 20) {
            break;  // 10^20 does not fit
        }
    }
    for (const std::uint64_t value : values) {
        const std::string expected = std::to_string(value);
        std::string appended = "x";
        AppendUnsigned(appended, value);
        EXPECT_EQ(appended, "x" + expected);
        char block[2 * kMaxDecimalDigits];
        EXPECT_EQ(std::string(block, PutNumber(block, value)), expected);
    }
}

}  // namespace
