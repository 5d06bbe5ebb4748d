#ifndef VARNETH_MFT_FILETIME_H
#define VARNETH_MFT_FILETIME_H

// NTFS FILETIME values (100-nanosecond intervals since 1601-01-01 00:00:00
// UTC) as exact UTC instants. Nothing here looks at the machine's time zone.

#include <cstdint>

#include <wx/datetime.h>

// Inline: the decoders make eight of these for a typical record.

// Whole seconds since 1970-01-01 00:00:00 UTC (negative before it), the
// fraction of a second dropped. Defined for every FILETIME, 0 to 2^64-1.
inline std::int64_t FiletimeToUnixSeconds(std::uint64_t filetime)
{
    constexpr std::uint64_t kFiletimeTicksPerSecond = 10000000;
    // Seconds from 1601-01-01 to 1970-01-01 (369 years, 89 of them leap years).
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    // At most 1844674407370 seconds since 1601: far inside 64 bits.
    return static_cast<std::int64_t>(filetime / kFiletimeTicksPerSecond) - kSecondsFrom1601To1970;
}

// The same instant as a wxDateTime (which holds milliseconds since 1970 UTC),
// set from the millisecond count: always valid, whole seconds.
inline wxDateTime FiletimeToDateTime(std::uint64_t filetime)
{
    constexpr std::int64_t kMillisecondsPerSecond = 1000;
    return wxDateTime(wxLongLong(FiletimeToUnixSeconds(filetime) * kMillisecondsPerSecond));
}

// The four times an attribute keeps one after another (created, modified,
// $MFT record modified, accessed) from first on, into fields (the
// *_filetime and *_time members both attributes have): as stored, and as
// instants.
template <typename Reader, typename Fields>
inline void ReadFourTimes(Reader& reader, std::uint64_t first, Fields& fields)
{
    fields.create_filetime = reader.U64At(first);
    fields.mod_filetime = reader.U64At(first + 8);
    fields.mft_mod_filetime = reader.U64At(first + 16);
    fields.access_filetime = reader.U64At(first + 24);
    fields.create_time = FiletimeToDateTime(fields.create_filetime);
    fields.mod_time = FiletimeToDateTime(fields.mod_filetime);
    fields.mft_mod_time = FiletimeToDateTime(fields.mft_mod_filetime);
    fields.access_time = FiletimeToDateTime(fields.access_filetime);
}

#endif
