#ifndef VARNETH_REPORT_REPORT_TEXT_H
#define VARNETH_REPORT_REPORT_TEXT_H

// Small text builders for report lines and listings: no formatting engine,
// no locale, nothing allocated beyond the line itself.

#include <cstddef>
#include <cstdint>

#include <wx/string.h>

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

#endif
