#ifndef VARNETH_MFT_FILETIME_H
#define VARNETH_MFT_FILETIME_H

// NTFS FILETIME values (100-nanosecond intervals since 1601-01-01 00:00:00
// UTC) as exact UTC instants. Nothing here looks at the machine's time zone.

#include <cstddef>
#include <cstdint>

#include <wx/datetime.h>
#include <wx/string.h>

// Whole seconds since 1970-01-01 00:00:00 UTC (negative before it), the
// fraction of a second dropped. Defined for every FILETIME, 0 to 2^64-1.
std::int64_t FiletimeToUnixSeconds(std::uint64_t filetime);

// The same instant as a wxDateTime (which holds milliseconds since 1970 UTC),
// set from the millisecond count: always valid, whole seconds.
wxDateTime FiletimeToDateTime(std::uint64_t filetime);

// A UTC instant in milliseconds since 1970 (negative before it) as days
// since 1970-01-01 and the whole second within that day, both rounded down.
struct UtcDayAndSecond {
    std::int64_t days;
    std::int64_t second_of_day;  // 0..86399
};
inline std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return (value % divisor < 0) ? quotient - 1 : quotient;
}
inline UtcDayAndSecond SplitUtcMilliseconds(std::int64_t milliseconds)
{
    const std::int64_t seconds = FloorDivide(milliseconds, 1000);
    const std::int64_t days = FloorDivide(seconds, 86400);
    return {days, seconds - days * 86400};
}

// "YYYY-MM-DD HH:MM:SS" of the stored UTC instant, proleptic Gregorian (years
// of five digits from 10000 on). An invalid (never set) time gives "".
constexpr std::size_t kUtcTimeTextSize = 32;  // room for any 64-bit instant
std::size_t FormatUtcTime(const wxDateTime& time, char (&out)[kUtcTimeTextSize]);
wxString FormatUtcTime(const wxDateTime& time);

#endif
