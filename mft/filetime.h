#ifndef VARNETH_MFT_FILETIME_H
#define VARNETH_MFT_FILETIME_H

// NTFS FILETIME values (100-nanosecond intervals since 1601-01-01 00:00:00
// UTC) as exact UTC instants. Nothing here looks at the machine's time zone.

#include <cstdint>

#include <wx/datetime.h>

// Whole seconds since 1970-01-01 00:00:00 UTC (negative before it), the
// fraction of a second dropped. Defined for every FILETIME, 0 to 2^64-1.
std::int64_t FiletimeToUnixSeconds(std::uint64_t filetime);

// The same instant as a wxDateTime (which holds milliseconds since 1970 UTC),
// set from the millisecond count: always valid, whole seconds.
wxDateTime FiletimeToDateTime(std::uint64_t filetime);

#endif
