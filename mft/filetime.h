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

// "YYYY-MM-DD HH:MM:SS" of the stored UTC instant, proleptic Gregorian (years
// of five digits from 10000 on). An invalid (never set) time gives "".
constexpr std::size_t kUtcTimeTextSize = 32;  // room for any 64-bit instant
std::size_t FormatUtcTime(const wxDateTime& time, char (&out)[kUtcTimeTextSize]);
wxString FormatUtcTime(const wxDateTime& time);

#endif
