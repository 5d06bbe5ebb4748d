#ifndef VARNETH_TEXT_UTF8_TEXT_H
#define VARNETH_TEXT_UTF8_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <wx/string.h>

// Wide text as wxString holds it, without a copy.
using WideView = std::basic_string_view<wxStringCharType>;

inline WideView ViewOf(const wxString& text)
{
    return WideView(text.wx_str(), text.length());
}

// The most UTF-8 bytes one unit of wide text becomes.
constexpr std::size_t kMaxUtf8PerWideUnit = 4;

// Writes the text as UTF-8 at `out`, which has room for
// kMaxUtf8PerWideUnit bytes a unit; returns the end of what was written.
// Anything that is not a Unicode scalar value (a lone surrogate, a value past
// U+10FFFF) becomes U+FFFD, so the output is always valid UTF-8 and no
// character is silently dropped.
char* PutUtf8(char* out, WideView text);

// The same, appended.
void AppendUtf8(std::string& out, const wxString& text);

std::string ToUtf8(const wxString& text);

// The UTF-8 form of the text, made in `storage`, which only grows: a text a
// row costs no filling of new bytes. Valid until storage is used again.
std::string_view Utf8In(std::string& storage, const wxString& text);

// Writes each unit of the text as one byte at `out` (room for one byte a
// unit) and tells whether every unit lay within lowest..highest, where the
// bytes are its right text; one pass, the usual case for names.
bool PutUnitsAsBytes(char* out, WideView text, std::uint32_t lowest, std::uint32_t highest);

// The code point at `at` (moved past it): a unit, or the pair of surrogates
// that holds a non-BMP character on UTF-16 platforms. Values that are no
// Unicode scalar value are returned as they stand.
char32_t NextCodePoint(WideView text, std::size_t& at);

// The UTF-8 form of one code point (at most four bytes); returns its end.
char* PutCodePoint(char* out, char32_t c);

#endif
