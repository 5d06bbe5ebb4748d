#ifndef VARNETH_REPORT_TIME_TEXT_H
#define VARNETH_REPORT_TIME_TEXT_H

// The report's text of a UTC instant: "YYYY-MM-DD HH:MM:SS", proleptic
// Gregorian (years of five digits from 10000 on, a minus sign before year 0).
// Nothing here looks at the machine's time zone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <wx/datetime.h>

#include "text/block_copy.h"

constexpr std::size_t kUtcTimeTextSize = 32;  // room for any 64-bit instant

// Writes the text of the stored instant, whole seconds, NUL-terminated;
// returns its length. An invalid (never set) time gives "".
std::size_t FormatUtcTime(const wxDateTime& time, char (&out)[kUtcTimeTextSize]);

// The same texts, made once per instant and per day: the report shows eight
// instants a row, a record often shows one instant several times, and
// records made together share their days. The last instants and days seen
// are kept, a fixed few.
class UtcTimeTexts {
public:
    // Writes the text at `out`, which has room for kUtcTimeTextSize bytes
    // (the whole kept text is copied, its length counting); returns its end.
    char* Put(char* out, const wxDateTime& time)
    {
        if (!time.IsValid()) {
            return out;  // FormatUtcTime's text for a never-set time
        }
        const std::int64_t milliseconds = time.GetValue().GetValue();
        Text& instant = instants_[SlotOf(milliseconds, instants_.size())];
        if (instant.key != milliseconds) {
            Make(instant, milliseconds);
        }
        return PutText(out, instant.text, instant.length);
    }

private:
    struct Text {
        std::int64_t key = kNoKey;
        std::size_t length = 0;
        char text[kUtcTimeTextSize] = {};
    };
    // The key of the invalid time, which is never kept.
    static constexpr std::int64_t kNoKey = INT64_MIN;

    static std::size_t SlotOf(std::int64_t key, std::size_t slots)
    {
        return static_cast<std::size_t>((static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ULL) >> 40) % slots;
    }
    void Make(Text& instant, std::int64_t milliseconds);
    const Text& DateOf(std::int64_t days);

    std::array<Text, 64> instants_{};  // by milliseconds
    std::array<Text, 1024> dates_{};   // by days since 1970, the date only
};

#endif
