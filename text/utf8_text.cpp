#include "text/utf8_text.h"

#include <type_traits>

#include "text/replacement.h"

char* PutCodePoint(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

bool PutUnitsAsBytes(char* out, WideView text, std::uint32_t lowest, std::uint32_t highest)
{
    using Unit = std::make_unsigned_t<wxStringCharType>;
    const auto first = static_cast<Unit>(lowest);
    const auto span = static_cast<Unit>(highest - lowest);
    Unit outside = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<Unit>(text[i]);
        out[i] = static_cast<char>(unit);
        outside |= static_cast<Unit>(unit - first) > span ? 1 : 0;
    }
    return outside == 0;
}

char32_t NextCodePoint(WideView text, std::size_t& at)
{
    const auto c = static_cast<char32_t>(text[at++]);
    if (sizeof(wxStringCharType) == 2 && c >= 0xD800 && c <= 0xDBFF && at < text.size()) {
        const auto low = static_cast<char32_t>(text[at]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++at;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return c;
}

char* PutUtf8(char* out, WideView text)
{
    if (PutUnitsAsBytes(out, text, 0x00, 0x7F)) {  // ASCII, the usual case
        return out + text.size();
    }
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        out = PutCodePoint(out, (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ? kReplacementCharacter : c);
    }
    return out;
}

void AppendUtf8(std::string& out, const wxString& text)
{
    const std::size_t start = out.size();
    out.resize(start + kMaxUtf8PerWideUnit * text.length());
    out.resize(static_cast<std::size_t>(PutUtf8(out.data() + start, ViewOf(text)) - out.data()));
}

std::string ToUtf8(const wxString& text)
{
    std::string out;
    AppendUtf8(out, text);
    return out;
}

std::string_view Utf8In(std::string& storage, const wxString& text)
{
    const std::size_t room = kMaxUtf8PerWideUnit * text.length();
    if (storage.size() < room) {
        storage.resize(room);
    }
    const char* end = PutUtf8(storage.data(), ViewOf(text));
    return std::string_view(storage.data(), static_cast<std::size_t>(end - storage.data()));
}
