// NumberFormatter entry points (constructor, FormatNumber with its choice of
// sub-style, ValidateNumber) and the SubStyle queries they share.

#include "numbers/number_formatter.h"

#include <algorithm>
#include <string>

#include <wx/translation.h>

bool IsDigitPlaceholder(PositionKind kind)
{
    return kind == PositionKind::OptionalDigit || kind == PositionKind::ZeroDigit ||
           kind == PositionKind::FillDigit;
}

bool IsNumberSign(PositionKind kind)
{
    return kind == PositionKind::PlusSign || kind == PositionKind::MinusSign;
}

bool IsExponentLetter(PositionKind kind)
{
    return kind == PositionKind::ExponentUpper || kind == PositionKind::ExponentLower;
}

bool IsDecimalDigit(wchar_t character)
{
    return character >= L'0' && character <= L'9';
}

int SubStyle::PositionCount() const
{
    return static_cast<int>(std::min(pattern.length(), kinds.size()));
}

PositionKind SubStyle::KindAt(int position) const
{
    if (position < 0 || position >= PositionCount()) {
        return PositionKind::Literal;
    }
    return kinds[static_cast<std::size_t>(position)];
}

wchar_t SubStyle::CharAt(int position) const
{
    if (position < 0 || position >= PositionCount()) {
        return L' ';
    }
    return static_cast<wchar_t>(pattern[static_cast<std::size_t>(position)]);
}

// A group is only used when it can be repeated safely: inside the pattern and
// holding a digit, so every repetition places at least one digit.
bool SubStyle::HasGroup() const
{
    if (group_end <= 0 || group_start < 0 || group_start >= group_end ||
        group_end > PositionCount()) {
        return false;
    }
    for (int position = group_start; position < group_end; ++position) {
        if (IsDigitPlaceholder(KindAt(position))) {
            return true;
        }
    }
    return false;
}

// KindAt gives a literal outside the pattern, so no range check is needed.
bool SubStyle::HasDecimalSeparator() const
{
    return KindAt(decimal_index) == PositionKind::SeparatorChar;
}

bool SubStyle::HasExponent() const
{
    return IsExponentLetter(KindAt(exponent_index));
}

namespace {

constexpr const wchar_t* no_style_message = L"No style. No format done";
constexpr const wchar_t* not_a_number_message = L"Error: not a number";

bool IsBlank(wchar_t character)
{
    return character == L' ' || character == L'\t' || character == L'\n' || character == L'\v' ||
           character == L'\f' || character == L'\r';
}

struct NumberFlags {
    bool sign_seen = false;
    bool digit_seen = false;
    bool point_seen = false;
    bool exponent_seen = false;
    bool exponent_sign_seen = false;
};

bool AcceptNumberChar(NumberFlags& flags, wchar_t character)
{
    if (character == L'+' || character == L'-') {
        bool& seen = flags.exponent_seen ? flags.exponent_sign_seen : flags.sign_seen;
        if (seen || flags.digit_seen || (!flags.exponent_seen && flags.point_seen)) {
            return false;
        }
        seen = true;
        return true;
    }
    if (character == L'E' || character == L'e') {
        if (!flags.digit_seen || flags.exponent_seen) {
            return false;
        }
        flags.exponent_seen = true;
        flags.digit_seen = false;  // the exponent needs digits of its own
        return true;
    }
    if (character == L'.') {
        if (flags.point_seen || flags.exponent_seen) {
            return false;
        }
        flags.point_seen = true;
        return true;
    }
    if (!IsDecimalDigit(character)) {
        return false;
    }
    flags.digit_seen = true;
    return true;
}

bool IsZeroLike(const wxString& number)
{
    const std::wstring zero_chars = L"0.-+eE";
    for (const wxUniChar character : number) {
        if (zero_chars.find(static_cast<wchar_t>(character)) == std::wstring::npos) {
            return false;
        }
    }
    return true;
}

// Third sub-style for zero, second for negatives, first for everything else.
int ChooseSubStyle(const std::array<SubStyle, 3>& sub_styles, const wxString& number)
{
    const bool zero_like = IsZeroLike(number);
    const bool negative = number.StartsWith(L"-");
    if (!sub_styles[2].pattern.empty()) {
        return zero_like ? 3 : (negative ? 2 : 1);
    }
    if (!sub_styles[1].pattern.empty()) {
        return negative && !zero_like ? 2 : 1;
    }
    return 1;
}

}  // namespace

NumberFormatter::NumberFormatter(const wxString& style_text)
{
    // A refused style leaves the formatter without any style; formatting then
    // says so, which is all a caller needs.
    SetStyle(style_text);
}

int NumberFormatter::FormatNumber(const wxString& number, wxString& output)
{
    output.clear();
    if (number.empty()) {
        return success;
    }
    if (style.empty()) {
        error_message = wxGetTranslation(wxString(no_style_message));
        return static_cast<int>(number.length());
    }
    const std::wstring given = number.ToStdWstring();
    std::size_t first = 0;
    std::size_t end = given.size();
    for (; first < end && IsBlank(given[first]); ++first) {
    }
    for (; end > first && IsBlank(given[end - 1]); --end) {
    }
    if (first == end) {
        return success;  // all blanks: nothing to show, and not an error
    }
    const wxString trimmed(given.substr(first, end - first));
    const int offset = static_cast<int>(first);
    const int refused = ValidateNumber(trimmed);
    if (refused != success) {
        error_message = wxGetTranslation(wxString(not_a_number_message));
        return refused + offset;
    }
    const int failed = RenderNumber(ChooseSubStyle(sub_styles, trimmed), trimmed, output);
    if (failed != success) {
        return failed + offset;
    }
    error_message.clear();
    return success;
}

int NumberFormatter::ValidateNumber(const wxString& text) const
{
    NumberFlags flags;
    int position = 0;
    for (const wxUniChar character : text) {
        if (!AcceptNumberChar(flags, static_cast<wchar_t>(character))) {
            return position;
        }
        ++position;
    }
    return success;
}
