#include "text/utf8_text.h"

#include "text/replacement.h"

namespace {

void AppendCodePoint(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

void AppendUtf8(std::string& out, const wxString& text)
{
    const wxStringCharType* data = text.wx_str();
    const size_t length = text.length();
    for (size_t i = 0; i < length; ++i) {
        char32_t c = static_cast<char32_t>(data[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (sizeof(wxStringCharType) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
            // UTF-16 platforms hold non-BMP characters as surrogate pairs.
            char32_t low = static_cast<char32_t>(data[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = kReplacementCharacter;
        }
        AppendCodePoint(out, c);
    }
}

std::string ToUtf8(const wxString& text)
{
    std::string out;
    out.reserve(text.length() + 16);
    AppendUtf8(out, text);
    return out;
}
