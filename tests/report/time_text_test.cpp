#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mft/filetime.h"
#include "report/time_text.h"
#include "support/utc_text.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::int64_t k1601To1970 = 11644473600;

std::uint64_t FiletimeOfUnix(std::int64_t unix_seconds)
{
    return static_cast<std::uint64_t>(unix_seconds + k1601To1970) * kTicksPerSecond;
}

using varneth_test::UtcText;

std::string Text(std::uint64_t filetime) { return UtcText(FiletimeToDateTime(filetime)); }

TEST(UtcTimeText, KnownInstants)
{
    EXPECT_EQ(Text(0), "1601-01-01 00:00:00");
    EXPECT_EQ(Text(116444736000000000ull), "1970-01-01 00:00:00");
    EXPECT_EQ(Text(130000000000000000ull), "2012-12-14 23:06:40");
    EXPECT_EQ(Text(UINT64_MAX), "60056-05-28 05:36:10");
}

TEST(UtcTimeText, TheFractionOfASecondIsDropped)
{
    EXPECT_EQ(Text(130000000000000000ull + 9999999), "2012-12-14 23:06:40");
    EXPECT_EQ(Text(130000000000000000ull + 10000000), "2012-12-14 23:06:41");
    // Before 1970 too: dropping the fraction moves towards 1601, not towards 1970.
    EXPECT_EQ(Text(116444736000000000ull - 1), "1969-12-31 23:59:59");
    EXPECT_EQ(Text(9999999), "1601-01-01 00:00:00");
}

TEST(UtcTimeText, DatesAcrossLeapRules)
{
    EXPECT_EQ(Text(FiletimeOfUnix(951782400)), "2000-02-29 00:00:00");
    EXPECT_EQ(Text(FiletimeOfUnix(-2203891200)), "1900-03-01 00:00:00");  // 1900 has no 29 February
    EXPECT_EQ(Text(FiletimeOfUnix(4107542399)), "2100-02-28 23:59:59");
    EXPECT_EQ(Text(FiletimeOfUnix(4107542400)), "2100-03-01 00:00:00");
    EXPECT_EQ(Text(FiletimeOfUnix(4294967296)), "2106-02-07 06:28:16");  // past 32-bit seconds
    EXPECT_EQ(Text(FiletimeOfUnix(-11644473600 + (3 * 365 + 31 + 28) * 86400)),
              "1604-02-29 00:00:00");  // 1601, 1602, 1603: 365 days each
}

TEST(UtcTimeText, AgreesWithTheCLibraryAcrossTheWholeRange)
{
    std::mt19937_64 random(20240601);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t filetime = i == 0 ? UINT64_MAX : random();
        const std::time_t seconds = static_cast<std::time_t>(FiletimeToUnixSeconds(filetime));
        std::tm broken{};
        ASSERT_NE(gmtime_r(&seconds, &broken), nullptr);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%04lld-%02d-%02d %02d:%02d:%02d",
                      static_cast<long long>(broken.tm_year) + 1900, broken.tm_mon + 1, broken.tm_mday,
                      broken.tm_hour, broken.tm_min, broken.tm_sec);
        ASSERT_EQ(Text(filetime), expected) << filetime;
    }
}

TEST(UtcTimeText, ANeverSetTimeIsEmpty)
{
    EXPECT_EQ(UtcText(wxDefaultDateTime), "");
    EXPECT_EQ(UtcText(wxDateTime()), "");
    char text[kUtcTimeTextSize];
    EXPECT_EQ(FormatUtcTime(wxInvalidDateTime, text), 0u);
    EXPECT_STREQ(text, "");
}

TEST(UtcTimeText, WritesIntoACharBuffer)
{
    char text[kUtcTimeTextSize];
    EXPECT_EQ(FormatUtcTime(FiletimeToDateTime(130000000000000000ull), text), 19u);
    EXPECT_STREQ(text, "2012-12-14 23:06:40");
    EXPECT_EQ(FormatUtcTime(FiletimeToDateTime(UINT64_MAX), text), 20u);
}

// Runs the conversion and the formatting under several time zones, with
// instants on both sides of their daylight-saving changes: the results are
// the same everywhere.
class TimeZoneGuard {
public:
    TimeZoneGuard()
    {
        const char* tz = std::getenv("TZ");
        had_tz_ = tz != nullptr;
        if (had_tz_) {
            saved_ = tz;
        }
    }
    ~TimeZoneGuard()
    {
        if (had_tz_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    void Set(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }

private:
    bool had_tz_ = false;
    std::string saved_;
};

struct Instant {
    std::int64_t unix_seconds;
    const char* utc_text;
};

const Instant kInstants[] = {
    // New York, 2021: EST to EDT at 07:00 UTC on 14 March, back at 06:00 UTC on 7 November.
    {1615705199, "2021-03-14 06:59:59"},
    {1615705200, "2021-03-14 07:00:00"},
    {1636264799, "2021-11-07 05:59:59"},
    {1636264800, "2021-11-07 06:00:00"},
    // Lord Howe, 2021: +11 to +10:30 at 15:00 UTC on 3 April, back at 15:30 UTC on 2 October.
    {1617461999, "2021-04-03 14:59:59"},
    {1617462000, "2021-04-03 15:00:00"},
    {1633188599, "2021-10-02 15:29:59"},
    {1633188600, "2021-10-02 15:30:00"},
    // Kathmandu moved from +05:30 to +05:45 at 18:30 UTC on 31 December 1985.
    {504901799, "1985-12-31 18:29:59"},
    {504901800, "1985-12-31 18:30:00"},
    // Far from 1970 on both sides.
    {-11644473600, "1601-01-01 00:00:00"},
    {-2208988800, "1900-01-01 00:00:00"},
    {4294967296, "2106-02-07 06:28:16"},
    {253402300799, "9999-12-31 23:59:59"},
};

TEST(UtcTimeText, DoesNotDependOnTheMachineTimeZone)
{
    TimeZoneGuard guard;
    for (const char* zone : {"UTC", "America/New_York", "Australia/Lord_Howe", "Asia/Kathmandu"}) {
        guard.Set(zone);
        if (!std::filesystem::exists(std::string("/usr/share/zoneinfo/") + zone)) {
            std::fprintf(stderr, "note: time zone %s is not installed; the C library runs it as UTC\n", zone);
        } else if (std::string(zone) != "UTC") {
            // The zone is in force: local time is not UTC here.
            const std::time_t probe = 1615705200;
            std::tm local{};
            ASSERT_NE(localtime_r(&probe, &local), nullptr);
            EXPECT_NE(local.tm_gmtoff, 0) << zone;
        }
        for (const Instant& instant : kInstants) {
            const std::uint64_t filetime = FiletimeOfUnix(instant.unix_seconds) + 5000000;  // half a second on
            const wxDateTime time = FiletimeToDateTime(filetime);
            EXPECT_EQ(time.GetValue().GetValue(), instant.unix_seconds * 1000) << zone;
            EXPECT_EQ(UtcText(time), instant.utc_text) << zone << " " << instant.unix_seconds;
        }
    }
}

std::vector<wxDateTime> Instants()
{
    std::vector<wxDateTime> instants = {wxDateTime(), FiletimeToDateTime(0), FiletimeToDateTime(UINT64_MAX),
                                        FiletimeToDateTime(130000000000000000ULL)};
    const std::int64_t edges[] = {0, -1, -1000, -1001, 86399999, 86400000, -86400000, -86400001,
                                  951782400000 /* 2000-02-29 */, 4102444799000, (INT64_C(1) << 62),
                                  (INT64_C(1) << 62) + 1, -(INT64_C(1) << 62) - 7, (INT64_C(1) << 62) - 1,
                                  INT64_MAX, INT64_MIN + 1};
    for (std::int64_t milliseconds : edges) {
        instants.push_back(wxDateTime(wxLongLong(milliseconds)));
    }
    std::uint64_t filetime = 116444736000000000ULL;  // 1970
    for (int i = 0; i < 3000; ++i) {
        filetime = filetime * 6364136223846793005ULL + 1442695040888963407ULL;
        instants.push_back(FiletimeToDateTime(filetime % 2650467743999999999ULL));  // up to 9999
        instants.push_back(FiletimeToDateTime(130000000000000000ULL + (filetime % 100000) * 10000000ULL));
    }
    return instants;
}

// The kept texts are FormatUtcTime's own, whatever was asked before.
TEST(UtcTimeTextsTest, EveryTextIsFormatUtcTimesOwn)
{
    UtcTimeTexts kept;
    const auto text = [&kept](const wxDateTime& instant) {
        char out[kUtcTimeTextSize];
        return std::string(out, kept.Put(out, instant));
    };
    const std::vector<wxDateTime> instants = Instants();
    for (int round = 0; round < 2; ++round) {  // the second round asks again, in the same order
        for (const wxDateTime& instant : instants) {
            const std::string expected = UtcText(instant);
            EXPECT_EQ(text(instant), expected);
            EXPECT_EQ(text(instant), expected);  // at once again: kept
        }
    }
}

}  // namespace
