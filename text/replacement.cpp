#include "text/replacement.h"

#include <algorithm>
#include <cstddef>

#include "text/utf8_text.h"

namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // kReplacementCharacter in UTF-8

constexpr bool RuleKeepsPlainAscii()
{
    for (std::uint32_t c = 0; c < 0x80; ++c) {
        if (IsPlainAscii(c) && IsReplacedCharacter(c)) {
            return false;
        }
    }
    return true;
}
static_assert(RuleKeepsPlainAscii(), "plain ASCII is copied as it stands, so the rule must keep it");

// Length of the UTF-8 sequence a lead byte starts, and its code point; 0
// for a byte that starts none or a sequence cut by the end of the text.
std::size_t DecodeUtf8At(std::string_view utf8, std::size_t at, std::uint32_t& code_point)
{
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || utf8.size() - at < length) {
        return 0;
    }
    code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        code_point = (code_point << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
    }
    return length;
}

}  // namespace

void AppendSanitizedUtf8(std::string& out, std::string_view utf8)
{
    std::size_t run_start = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (IsPlainAscii(byte)) {  // the usual case, no decoding needed
            ++i;
            continue;
        }
        std::uint32_t code_point = 0;
        const std::size_t length = DecodeUtf8At(utf8, i, code_point);
        if (length == 0 || !IsReplacedCharacter(code_point)) {
            i += length == 0 ? 1 : length;
            continue;
        }
        out.append(utf8.data() + run_start, i - run_start);
        out.append(kReplacementUtf8, 3);
        i += length;
        run_start = i;
    }
    out.append(utf8.data() + run_start, utf8.size() - run_start);
}

bool IsPlainAscii(const wxString& text)
{
    const wxStringCharType* data = text.wx_str();
    return std::all_of(data, data + text.length(),
                       [](wxStringCharType c) { return IsPlainAscii(static_cast<std::uint32_t>(c)); });
}

void AppendSanitized(std::string& out, const wxString& text)
{
    if (IsPlainAscii(text)) {  // the usual case: nothing to convert or replace
        const wxStringCharType* data = text.wx_str();
        const std::size_t start = out.size();
        out.resize(start + text.length());
        std::copy(data, data + text.length(), out.begin() + static_cast<std::ptrdiff_t>(start));
        return;
    }
    // The UTF-8 form already holds U+FFFD for what has none; the UTF-8 pass
    // then replaces the controls.
    AppendSanitizedUtf8(out, ToUtf8(text));
}
