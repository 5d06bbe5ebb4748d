#include "mft/filetime.h"

namespace {

constexpr std::uint64_t kFiletimeTicksPerSecond = 10000000;
// Seconds from 1601-01-01 to 1970-01-01 (369 years, 89 of them leap years).
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr std::int64_t kMillisecondsPerSecond = 1000;

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
