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

}  // namespace
