#include "report/report_text.h"

// The scan below reads the string's own code units.
static_assert(wxUSE_UNICODE_WCHAR, "wxString must hold wchar_t");

namespace {

// On platforms whose wxString holds UTF-16, a surrogate pair is one
// character and stays; a lone surrogate is replaced like any other.
bool IsSurrogatePairAt(const wxStringCharType* data, std::size_t length, std::size_t i)
{
    if (sizeof(wxStringCharType) != 2 || i + 1 >= length) {
        return false;
    }
    const auto high = static_cast<std::uint32_t>(data[i]);
    const auto low = static_cast<std::uint32_t>(data[i + 1]);
    return high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF;
}

}  // namespace

void AppendSanitized(wxString& out, const wxString& text)
{
    const wxStringCharType* data = text.wx_str();
    const std::size_t length = text.length();
    std::size_t run_start = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (!IsReplacedCharacter(static_cast<std::uint32_t>(data[i]))) {
            continue;
        }
        if (IsSurrogatePairAt(data, length, i)) {
            ++i;
            continue;
        }
        out.append(data + run_start, i - run_start);
        out.append(1, kReplacementCharacter);
        run_start = i + 1;
    }
    if (run_start == 0) {
        out.append(text);  // the usual case: nothing to replace
    } else {
        out.append(data + run_start, length - run_start);
    }
}

wxString SanitizedText(const wxString& text)
{
    wxString out;
    AppendSanitized(out, text);
    return out;
}

void AppendUnsigned(wxString& out, std::uint64_t value)
{
    wchar_t digits[20];  // 2^64-1 has 20 digits
    std::size_t count = 0;
    do {
        digits[sizeof(digits) / sizeof(digits[0]) - 1 - count] = static_cast<wchar_t>(L'0' + value % 10);
        ++count;
        value /= 10;
    } while (value != 0);
    out.append(digits + (sizeof(digits) / sizeof(digits[0]) - count), count);
}

void AppendAscii(wxString& out, const char* text, std::size_t length)
{
    wchar_t wide[64];
    while (length > 0) {
        const std::size_t chunk = length < 64 ? length : 64;
        for (std::size_t i = 0; i < chunk; ++i) {
            wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
        }
        out.append(wide, chunk);
        text += chunk;
        length -= chunk;
    }
}
