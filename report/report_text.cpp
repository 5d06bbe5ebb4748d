#include "report/report_text.h"

#include <algorithm>

#include "text/utf8_text.h"

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

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";
constexpr std::int64_t kMillisecondsPerDay = 86400000;
constexpr std::int64_t kLargestSplit = std::int64_t{1} << 62;  // days * kMillisecondsPerDay cannot overflow

std::size_t SlotOf(std::int64_t key, std::size_t slots)
{
    return static_cast<std::size_t>((static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ULL) >> 40) % slots;
}

// Made right to left in a buffer, then appended in one piece.
template <typename Char, typename Text>
void AppendDigits(Text& out, std::uint64_t value)
{
    constexpr std::size_t kMaxDigits = 20;  // 2^64-1 has 20 digits
    Char digits[kMaxDigits];
    Char* first = digits + kMaxDigits;
    do {
        *--first = static_cast<Char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    out.append(first, static_cast<std::size_t>(digits + kMaxDigits - first));
}

char* PutTwoDigits(char* out, std::int64_t value)
{
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

bool IsPlainAscii(std::uint32_t c)
{
    return c >= 0x20 && c < 0x7F;
}

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
    AppendDigits<wchar_t>(out, value);
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

void AppendSanitized(std::string& out, const wxString& text)
{
    const wxStringCharType* data = text.wx_str();
    const std::size_t length = text.length();
    std::size_t plain = 0;
    while (plain < length && IsPlainAscii(static_cast<std::uint32_t>(data[plain]))) {
        ++plain;
    }
    if (plain == length) {  // the usual case: nothing to convert or replace
        for (std::size_t i = 0; i < length; ++i) {
            out.push_back(static_cast<char>(data[i]));
        }
        return;
    }
    AppendUtf8(out, SanitizedText(text));
}

void AppendUnsigned(std::string& out, std::uint64_t value)
{
    AppendDigits<char>(out, value);
}

void AppendAscii(std::string& out, const char* text, std::size_t length)
{
    out.append(text, length);
}

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

std::string_view UtcTimeTexts::DateOf(std::int64_t days)
{
    Text& date = dates_[SlotOf(days, dates_.size())];
    if (!date.filled || date.key != days) {
        // The date of a day is the date part of its midnight.
        const std::size_t length = FormatUtcTime(wxDateTime(wxLongLong(days * kMillisecondsPerDay)), date.text);
        date.length = std::string_view(date.text, length).find(' ');
        date.key = days;
        date.filled = true;
    }
    return std::string_view(date.text, date.length);
}

std::string_view UtcTimeTexts::Of(const wxDateTime& time)
{
    if (!time.IsValid()) {
        return std::string_view();  // FormatUtcTime's text for a never-set time
    }
    const std::int64_t milliseconds = time.GetValue().GetValue();
    if (milliseconds > kLargestSplit || milliseconds < -kLargestSplit) {
        // Far beyond any FILETIME: made whole, without the day arithmetic.
        Text& far = instants_[0];
        far.filled = false;
        return std::string_view(far.text, FormatUtcTime(time, far.text));
    }
    Text& instant = instants_[SlotOf(milliseconds, instants_.size())];
    if (instant.filled && instant.key == milliseconds) {
        return std::string_view(instant.text, instant.length);
    }
    const auto [days, second_of_day] = SplitUtcMilliseconds(milliseconds);
    const std::string_view date = DateOf(days);
    char* p = std::copy(date.begin(), date.end(), instant.text);
    *p++ = ' ';
    p = PutTwoDigits(p, second_of_day / 3600);
    *p++ = ':';
    p = PutTwoDigits(p, second_of_day / 60 % 60);
    *p++ = ':';
    p = PutTwoDigits(p, second_of_day % 60);
    instant.length = static_cast<std::size_t>(p - instant.text);
    instant.key = milliseconds;
    instant.filled = true;
    return std::string_view(instant.text, instant.length);
}
