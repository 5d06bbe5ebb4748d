#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "app/format_count.h"

namespace varneth_test {
namespace {

TEST(FormatCount, GroupsTheDriversCounts)
{
    NumberFormatter formatter(L"[,###]");
    EXPECT_EQ(FormatCount(formatter, 0), L"0");
    EXPECT_EQ(FormatCount(formatter, 262144), L"262,144");
    EXPECT_EQ(FormatCount(formatter, std::numeric_limits<std::uint64_t>::max()), L"18,446,744,073,709,551,615");
    NumberFormatter without_style(L"");
    EXPECT_EQ(FormatCount(without_style, 262144), L"");
}

}  // namespace
}  // namespace varneth_test
