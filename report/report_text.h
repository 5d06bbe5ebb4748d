#ifndef VARNETH_REPORT_REPORT_TEXT_H
#define VARNETH_REPORT_REPORT_TEXT_H

// Small text builders for report lines and listings: no formatting engine,
// no locale, nothing allocated beyond the line itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <wx/datetime.h>
#include <wx/string.h>

#include "mft/filetime.h"

constexpr wchar_t kReplacementCharacter = 0xFFFD;

// Characters that never reach a report or a listing as they stand: C0 and C1
// controls (a TAB or LF would split a row, an ESC would drive the examiner's
// terminal) and values that are not Unicode scalar values (no UTF-8 form).
// NUL counts as a C0 control: it would cut the line short for C tools.
constexpr bool IsReplacedCharacter(std::uint32_t c)
{
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF;
}

// Appends the text with every replaced character turned into U+FFFD.
void AppendSanitized(wxString& out, const wxString& text);
wxString SanitizedText(const wxString& text);

// Appends unsigned decimal digits: no sign, no grouping, "0" for zero.
void AppendUnsigned(wxString& out, std::uint64_t value);

// Appends ASCII bytes one character each.
void AppendAscii(wxString& out, const char* text, std::size_t length);

inline void AppendCharacter(wxString& out, char c)
{
    out.append(1, static_cast<wxStringCharType>(c));
}

// The same builders for lines made straight in UTF-8: each appends the
// UTF-8 form (text/utf8_text) of what its wide twin appends.
void AppendSanitized(std::string& out, const wxString& text);
void AppendUnsigned(std::string& out, std::uint64_t value);
void AppendAscii(std::string& out, const char* text, std::size_t length);

inline void AppendCharacter(std::string& out, char c)
{
    out.push_back(c);
}

// Text already in UTF-8 as text/utf8_text writes it, sanitized on the way:
// the bytes its wide form would give through AppendSanitized.
void AppendSanitizedUtf8(std::string& out, std::string_view utf8);

// The text FormatUtcTime (mft/filetime.h) gives for an instant, made once
// per instant and per day: the report shows eight instants a row, a record
// often shows one instant several times, and records made together share
// their days. The last instants and days seen are kept, a fixed few.
class UtcTimeTexts {
public:
    // Valid until the next call.
    std::string_view Of(const wxDateTime& time);

private:
    struct Text {
        bool filled = false;
        std::int64_t key = 0;
        std::size_t length = 0;
        char text[kUtcTimeTextSize] = {};
    };
    std::string_view DateOf(std::int64_t days);

    std::array<Text, 16> instants_{};  // by milliseconds
    std::array<Text, 1024> dates_{};   // by days since 1970, the date only
};

#endif
