#include "report/time_text.h"

#include <algorithm>

#include "text/digits.h"

namespace {

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return (value % divisor < 0) ? quotient - 1 : quotient;
}

// A UTC instant in milliseconds since 1970 (negative before it) as days
// since 1970-01-01 and the whole second within that day, both rounded down.
struct UtcDayAndSecond {
    std::int64_t days;
    std::int64_t second_of_day;  // 0..86399
};

UtcDayAndSecond SplitUtcMilliseconds(std::int64_t milliseconds)
{
    const std::int64_t seconds = FloorDivide(milliseconds, 1000);
    const std::int64_t days = FloorDivide(seconds, 86400);
    return {days, seconds - days * 86400};
}

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

// 0..99
char* PutTwoDigits(char* out, std::int64_t value)
{
    return PutFixed<2>(out, digits_detail::kDigitPairs.text + 2 * value);
}

// "YYYY-MM-DD" of a day since 1970.
char* PutDate(char* out, std::int64_t days)
{
    const CivilDate date = CivilFromDays(days);
    if (date.year < 0) {
        *out++ = '-';
    }
    out = PutDigits(out, static_cast<std::uint64_t>(date.year < 0 ? -date.year : date.year), 4);
    *out++ = '-';
    out = PutTwoDigits(out, date.month);
    *out++ = '-';
    return PutTwoDigits(out, date.day);
}

// "HH:MM:SS" of a second of the day.
char* PutTimeOfDay(char* out, std::int64_t second_of_day)
{
    const std::int64_t hours = second_of_day / 3600;
    const std::int64_t minutes_and_seconds = second_of_day - hours * 3600;
    const std::int64_t minutes = minutes_and_seconds / 60;
    out = PutTwoDigits(out, hours);
    *out++ = ':';
    out = PutTwoDigits(out, minutes);
    *out++ = ':';
    return PutTwoDigits(out, minutes_and_seconds - minutes * 60);
}

}  // namespace

std::size_t FormatUtcTime(const wxDateTime& time, char (&out)[kUtcTimeTextSize])
{
    if (!time.IsValid()) {
        out[0] = '\0';
        return 0;
    }
    const auto [days, second_of_day] = SplitUtcMilliseconds(time.GetValue().GetValue());
    char* p = PutDate(out, days);
    *p++ = ' ';
    p = PutTimeOfDay(p, second_of_day);
    *p = '\0';
    return static_cast<std::size_t>(p - out);
}

const UtcTimeTexts::Text& UtcTimeTexts::DateOf(std::int64_t days)
{
    Text& date = dates_[SlotOf(days, dates_.size())];
    if (date.key != days) {
        date.length = static_cast<std::size_t>(PutDate(date.text, days) - date.text);
        date.key = days;
    }
    return date;
}

void UtcTimeTexts::Make(Text& instant, std::int64_t milliseconds)
{
    const auto [days, second_of_day] = SplitUtcMilliseconds(milliseconds);
    const Text& date = DateOf(days);
    char* p = PutText(instant.text, date.text, date.length);
    *p++ = ' ';
    p = PutTimeOfDay(p, second_of_day);
    instant.length = static_cast<std::size_t>(p - instant.text);
    instant.key = milliseconds;
}
