#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text/digits.h"

namespace {

TEST(AppendUnsignedTest, DecimalDigits)
{
    const struct {
        std::uint64_t value;
        const char* expected;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {10, "10"},
        {5000, "5000"},
        {4294967295ULL, "4294967295"},
        {4294967296ULL, "4294967296"},
        {281474976710655ULL, "281474976710655"},
        {18446744073709551615ULL, "18446744073709551615"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        AppendUnsigned(out, c.value);
        EXPECT_EQ(out, std::string("x") + c.expected);
    }
}

// Every length of number, at the edges where the digits are taken four,
// two or one at a time, by both writers.
TEST(AppendUnsignedTest, EveryLengthAgreesWithToString)
{
    std::uint64_t power = 1;
    for (int digits = 1; digits <= 20; ++digits, power *= 10) {
        for (const std::uint64_t value : {power - 1, power, power + 1, power * 7 + 3, power * 9 + power / 2}) {
            const std::string expected = std::to_string(value);
            std::string appended;
            AppendUnsigned(appended, value);
            EXPECT_EQ(appended, expected);
            char block[2 * kMaxDecimalDigits];
            EXPECT_EQ(std::string(block, PutNumber(block, value)), expected);
        }
        if (digits == 20) {
            break;  // 10^20 does not fit
        }
    }
}

}  // namespace
