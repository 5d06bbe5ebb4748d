#ifndef VARNETH_TEXT_REPLACEMENT_H
#define VARNETH_TEXT_REPLACEMENT_H

// The one rule for characters that never reach a report or a listing as they
// stand, and the UTF-8 writers that apply it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <wx/string.h>

#include "text/utf8_text.h"

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
// The same for whole texts; branch-free, so that the compiler checks many
// characters a step (paths and names are mostly plain).
bool IsPlainAscii(WideView text);
bool IsPlainAscii(std::string_view utf8);
inline bool IsPlainAscii(const wxString& text)
{
    return IsPlainAscii(ViewOf(text));
}

// The most bytes the sanitizers write for one byte of UTF-8 (a control
// becomes U+FFFD) and for one unit of wide text.
constexpr std::size_t kMaxSanitizedPerUtf8Byte = 3;
constexpr std::size_t kMaxSanitizedPerWideUnit = kMaxUtf8PerWideUnit;

// Writes UTF-8 text with every replaced character written as U+FFFD, at
// `out`, which has room for kMaxSanitizedPerUtf8Byte bytes a byte; returns
// the end of what was written. Bytes that start no complete UTF-8 sequence
// are copied as they stand.
char* PutSanitizedUtf8(char* out, std::string_view utf8);
void AppendSanitizedUtf8(std::string& out, std::string_view utf8);

// Writes the UTF-8 form (text/utf8_text) of wide text, every replaced
// character written as U+FFFD, at `out`, which has room for
// kMaxSanitizedPerWideUnit bytes a unit; returns the end of what was written.
char* PutSanitized(char* out, WideView text);
void AppendSanitized(std::string& out, const wxString& text);

#endif
