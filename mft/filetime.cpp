#include "mft/filetime.h"

namespace {

constexpr std::uint64_t kFiletimeTicksPerSecond = 10000000;
// Seconds from 1601-01-01 to 1970-01-01 (369 years, 89 of them leap years).
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr std::int64_t kMillisecondsPerSecond = 1000;

struct CivilDate {
    std::int64_t year;
    unsigned month;  // 1..12
    unsigned day;    // 1..31
};

// Days since 1970-01-01 to a proleptic Gregorian date (the era-based
// computation: 400-year eras of 146097 days, years counted from March).
CivilDate CivilFromDays(std::int64_t days)
{
    days += 719468;  // days from 0000-03-01 to 1970-01-01
    const std::int64_t era = FloorDivide(days, 146097);
    const std::int64_t day_of_era = days - era * 146097;                                   // 0..146096
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;  // 0..399
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;  // 0 = March
    CivilDate date;
    date.day = static_cast<unsigned>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    date.month = static_cast<unsigned>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    date.year = year_of_era + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

char* PutDigits(char* out, std::uint64_t value, int width)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = count; pad < width; ++pad) {
        *out++ = '0';
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

}  // namespace

std::int64_t FiletimeToUnixSeconds(std::uint64_t filetime)
{
    // At most 1844674407370 seconds since 1601: far inside 64 bits.
    return static_cast<std::int64_t>(filetime / kFiletimeTicksPerSecond) - kSecondsFrom1601To1970;
}

wxDateTime FiletimeToDateTime(std::uint64_t filetime)
{
    return wxDateTime(wxLongLong(FiletimeToUnixSeconds(filetime) * kMillisecondsPerSecond));
}

std::size_t FormatUtcTime(const wxDateTime& time, char (&out)[kUtcTimeTextSize])
{
    if (!time.IsValid()) {
        out[0] = '\0';
        return 0;
    }
    const auto [days, second_of_day] = SplitUtcMilliseconds(time.GetValue().GetValue());
    const CivilDate date = CivilFromDays(days);

    char* p = out;
    if (date.year < 0) {
        *p++ = '-';
    }
    p = PutDigits(p, static_cast<std::uint64_t>(date.year < 0 ? -date.year : date.year), 4);
    *p++ = '-';
    p = PutDigits(p, date.month, 2);
    *p++ = '-';
    p = PutDigits(p, date.day, 2);
    *p++ = ' ';
    p = PutDigits(p, static_cast<std::uint64_t>(second_of_day / 3600), 2);
    *p++ = ':';
    p = PutDigits(p, static_cast<std::uint64_t>(second_of_day / 60 % 60), 2);
    *p++ = ':';
    p = PutDigits(p, static_cast<std::uint64_t>(second_of_day % 60), 2);
    *p = '\0';
    return static_cast<std::size_t>(p - out);
}

wxString FormatUtcTime(const wxDateTime& time)
{
    char text[kUtcTimeTextSize];
    const std::size_t length = FormatUtcTime(time, text);
    return wxString::FromAscii(text, length);
}
