#ifndef VARNETH_TEXT_REPLACEMENT_H
#define VARNETH_TEXT_REPLACEMENT_H

// The one rule for characters that never reach a report or a listing as they
// stand, and the UTF-8 writers that apply it.

#include <cstdint>
#include <string>
#include <string_view>

#include <wx/string.h>

constexpr char32_t kReplacementCharacter = 0xFFFD;

// C0 and C1 controls (a TAB or LF would split a row, an ESC would drive the
// examiner's terminal) and values that are not Unicode scalar values (no
// UTF-8 form). NUL counts as a C0 control: it would cut the line short for C
// tools.
constexpr bool IsReplacedCharacter(std::uint32_t c)
{
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF;
}

// Printable ASCII: never replaced, and the same characters in UTF-8 as in
// wide text. The sanitizers copy it as it stands; a name made only of it can
// be shown without sanitizing at all.
constexpr bool IsPlainAscii(std::uint32_t c)
{
    return c >= 0x20 && c < 0x7F;
}
bool IsPlainAscii(const wxString& text);

// Appends UTF-8 text with every replaced character written as U+FFFD. Bytes
// that start no complete UTF-8 sequence are copied as they stand.
void AppendSanitizedUtf8(std::string& out, std::string_view utf8);

// Appends the UTF-8 form (text/utf8_text) of the text, every replaced
// character written as U+FFFD.
void AppendSanitized(std::string& out, const wxString& text);

#endif
