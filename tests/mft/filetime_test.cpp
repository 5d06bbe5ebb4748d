#include <cstdint>

#include <gtest/gtest.h>

#include "mft/filetime.h"

namespace {

constexpr std::int64_t k1601To1970 = 11644473600;

TEST(Filetime, KnownInstants)
{
    EXPECT_EQ(FiletimeToUnixSeconds(0), -k1601To1970);
    EXPECT_EQ(FiletimeToUnixSeconds(UINT64_MAX), 1844674407370 - k1601To1970);
}

TEST(Filetime, TheValueIsTheMillisecondCountOfWholeSeconds)
{
    wxDateTime time = FiletimeToDateTime(130000000000000000ull + 1234567);
    ASSERT_TRUE(time.IsValid());
    EXPECT_EQ(time.GetValue().GetValue(), 1355526400000LL);
    EXPECT_EQ(FiletimeToDateTime(0).GetValue().GetValue(), -k1601To1970 * 1000);
}

}  // namespace
