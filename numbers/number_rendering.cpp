// Laying out one number by one sub-style (NumberFormatter::RenderNumber).
// Every index into the number text or a pattern is checked, since both may be
// arbitrary text.

#include "numbers/number_formatter.h"

#include <string>

#include <wx/translation.h>

namespace {

constexpr const wchar_t* no_style_message = L"No style. No format done";
constexpr const wchar_t* exponent_digits_message = L"Error: too many digits in exponential";

// Where the parts of a trimmed number text stand; -1 marks an absent part.
struct NumberText {
    explicit NumberText(const wxString& number);

    std::wstring text;
    int length = 0;
    bool negative = false;
    int point = -1;
    int exponent_letter = -1;
    int first_digit = -1;  // -1: no integer digits
    int last_integer_digit = -1;

    wchar_t At(int index) const
    {
        return index >= 0 && index < length ? text[static_cast<std::size_t>(index)] : L'0';
    }
};

int PositionOf(std::size_t found)
{
    return found == std::wstring::npos ? -1 : static_cast<int>(found);
}

NumberText::NumberText(const wxString& number) : text(number.ToStdWstring())
{
    length = static_cast<int>(text.size());
    negative = length > 0 && text[0] == L'-';
    point = PositionOf(text.find(L'.'));
    exponent_letter = PositionOf(text.rfind(L'E'));
    if (exponent_letter < 0) {
        exponent_letter = PositionOf(text.rfind(L'e'));
    }
    for (int index = 0; index < length; ++index) {
        if (IsDecimalDigit(text[static_cast<std::size_t>(index)])) {
            first_digit = index;
            break;
        }
        if (index == point || index == exponent_letter) {
            break;
        }
    }
    if (point >= 0) {
        last_integer_digit = point - 1;
    } else if (exponent_letter >= 0) {
        last_integer_digit = exponent_letter - 1;
    } else {
        last_integer_digit = length - 1;
    }
}

// Output of a sign or literal position; other kinds show nothing here.
void PutFixedChar(std::wstring& out, const SubStyle& sub_style, int position, bool negative)
{
    const PositionKind kind = sub_style.KindAt(position);
    if (kind == PositionKind::PlusSign) {
        out += negative ? L'-' : L'+';
    } else if (kind == PositionKind::MinusSign && negative) {
        out += L'-';
    } else if (kind == PositionKind::Literal) {
        out += sub_style.CharAt(position);
    }
}

void PutSignOnly(std::wstring& out, const SubStyle& sub_style, int position, bool negative)
{
    if (IsNumberSign(sub_style.KindAt(position))) {
        PutFixedChar(out, sub_style, position, negative);
    }
}

int IntegerSectionEnd(const SubStyle& sub_style)
{
    if (sub_style.HasDecimalSeparator()) {
        return sub_style.decimal_index - 1;
    }
    if (sub_style.HasExponent()) {
        return sub_style.exponent_index - 1;
    }
    return sub_style.PositionCount() - 1;
}

// The integer part is built right to left into `reversed`; each step returns
// the position it stopped before.

// Places digits while any wait; the group repeats leftwards, so its leading
// characters show only between digits.
int PlaceIntegerDigits(const SubStyle& sub_style, const NumberText& number, int p, std::wstring& reversed)
{
    if (number.first_digit < 0) {
        // No digit to place (".5", "-"): the literals and signs met before
        // the first digit place are still laid out, or "(#)" would give "(".
        for (; p >= 0 && !IsDigitPlaceholder(sub_style.KindAt(p)); --p) {
            PutFixedChar(reversed, sub_style, p, number.negative);
        }
        return p;
    }
    const bool has_group = sub_style.HasGroup();
    for (int q = number.last_integer_digit; p >= 0 && q >= 0 && q >= number.first_digit;) {
        const bool at_group_start = has_group && p == sub_style.group_start;
        if (IsDigitPlaceholder(sub_style.KindAt(p))) {
            reversed += number.At(q);
            p = at_group_start && q > number.first_digit ? sub_style.group_end - 1 : p - 1;
            --q;
            continue;
        }
        PutFixedChar(reversed, sub_style, p, number.negative);
        p = at_group_start ? sub_style.group_end - 1 : p - 1;
    }
    return p;
}

// "0" and fill places left of the digits still show, down to the leftmost.
int FillLeadingPlaces(const SubStyle& sub_style, bool negative, int p, std::wstring& reversed)
{
    int leftmost = -1;
    for (int position = 0; position <= p; ++position) {
        const PositionKind kind = sub_style.KindAt(position);
        if (kind == PositionKind::ZeroDigit || kind == PositionKind::FillDigit) {
            leftmost = position;
            break;
        }
    }
    if (leftmost < 0) {
        return p;
    }
    for (; p >= leftmost; --p) {
        const PositionKind kind = sub_style.KindAt(p);
        if (kind == PositionKind::ZeroDigit) {
            reversed += L'0';
        } else if (kind == PositionKind::FillDigit) {
            reversed += sub_style.CharAt(p);
        } else {
            PutFixedChar(reversed, sub_style, p, negative);
        }
    }
    return p;
}

// Unused "#" places and the literals between them show nothing, but a sign
// among them still does.
int SkipEmptyPlaces(const SubStyle& sub_style, bool negative, int p, std::wstring& reversed)
{
    if (p <= 0) {
        return p;
    }
    int leftmost = -1;
    for (int position = 0; position < p; ++position) {
        const PositionKind kind = sub_style.KindAt(position);
        if (!IsNumberSign(kind) && kind != PositionKind::Literal) {
            leftmost = position;
            break;
        }
    }
    if (leftmost < 0) {
        return p;
    }
    for (; p > leftmost; --p) {
        PutSignOnly(reversed, sub_style, p, negative);
    }
    return leftmost;
}

std::wstring RenderIntegerPart(const SubStyle& sub_style, const NumberText& number)
{
    std::wstring reversed;
    int p = PlaceIntegerDigits(sub_style, number, IntegerSectionEnd(sub_style), reversed);
    if (p >= 0) {
        p = FillLeadingPlaces(sub_style, number.negative, p, reversed);
    }
    if (sub_style.HasGroup() && p >= sub_style.group_start) {
        p = sub_style.group_start - 1;
    }
    p = SkipEmptyPlaces(sub_style, number.negative, p, reversed);
    for (; p >= 0; --p) {
        PutFixedChar(reversed, sub_style, p, number.negative);
    }
    return std::wstring(reversed.rbegin(), reversed.rend());
}

// Decimals are truncated, never rounded. Returns whether the walk reached
// the end of the sub-style (rather than its exponent letter or not running).
bool AppendDecimalPart(const SubStyle& sub_style, const NumberText& number, std::wstring& result)
{
    if (!sub_style.HasDecimalSeparator() || number.point < 0) {
        return false;
    }
    const int count = sub_style.PositionCount();
    int d = sub_style.decimal_index;
    for (; d < count && sub_style.KindAt(d) == PositionKind::SeparatorChar; ++d) {
        result += sub_style.CharAt(d);
    }
    int next = number.point + 1;
    const int end = number.exponent_letter > number.point ? number.exponent_letter : number.length;
    for (; d < count && !IsExponentLetter(sub_style.KindAt(d)); ++d) {
        const PositionKind kind = sub_style.KindAt(d);
        if (kind == PositionKind::OptionalDigit) {
            for (; next < end; ++next) {
                result += number.At(next);
            }
        } else if (kind == PositionKind::ZeroDigit || kind == PositionKind::FillDigit) {
            if (next < end) {
                result += number.At(next++);
            } else {
                result += kind == PositionKind::ZeroDigit ? L'0' : sub_style.CharAt(d);
            }
        } else {
            PutFixedChar(result, sub_style, d, number.negative);
        }
    }
    return d >= count;
}

struct ExponentDigits {
    int first = 0;  // index in the number text of the first exponent digit
    bool own_sign = false;
    bool negative = false;
};

ExponentDigits FindExponentDigits(const NumberText& number)
{
    ExponentDigits digits;
    digits.first = number.exponent_letter + 1;
    const wchar_t after_letter = digits.first < number.length ? number.At(digits.first) : L'0';
    if (after_letter == L'+' || after_letter == L'-') {
        digits.own_sign = true;
        digits.negative = after_letter == L'-';
        ++digits.first;
    }
    return digits;
}

// Builds the exponent text right to left. Returns -1, or the failure
// position when the exponent has more digits than the style has places.
int AppendExponentPart(const SubStyle& sub_style, const NumberText& number, std::wstring& result)
{
    const int count = sub_style.PositionCount();
    const int letter = sub_style.exponent_index;
    int leftmost_filled = count;
    int leftmost_digit = count;
    for (int p = count - 1; p > letter; --p) {
        const PositionKind kind = sub_style.KindAt(p);
        leftmost_filled = kind == PositionKind::ZeroDigit || kind == PositionKind::FillDigit ? p : leftmost_filled;
        leftmost_digit = IsDigitPlaceholder(kind) ? p : leftmost_digit;
    }
    const ExponentDigits digits = FindExponentDigits(number);
    std::wstring reversed;
    int j = number.length - 1;
    for (int p = count - 1; p > letter; --p) {
        const PositionKind kind = sub_style.KindAt(p);
        const bool digit_left = j >= digits.first;
        if (IsDigitPlaceholder(kind)) {
            if (digit_left) {
                reversed += number.At(j);
            } else if (kind != PositionKind::OptionalDigit) {
                reversed += kind == PositionKind::ZeroDigit ? L'0' : sub_style.CharAt(p);
            }
            --j;
        } else if (kind == PositionKind::ExponentPlusSign ||
                   (kind == PositionKind::ExponentMinusSign && digits.own_sign)) {
            reversed += digits.negative ? L'-' : L'+';
        } else if (IsNumberSign(kind)) {
            PutFixedChar(reversed, sub_style, p, number.negative);
        } else if (kind == PositionKind::Literal &&
                   (p >= leftmost_filled || digit_left || p < leftmost_digit)) {
            reversed += sub_style.CharAt(p);
        }
    }
    if (j >= digits.first) {
        return number.length - 1;
    }
    result += sub_style.KindAt(letter) == PositionKind::ExponentUpper ? L'E' : L'e';
    result.append(reversed.rbegin(), reversed.rend());
    return NumberFormatter::success;
}

// The literals and signs that close the sub-style, when neither the decimal
// nor the exponent part reached them.
void AppendTrailer(const SubStyle& sub_style, bool negative, std::wstring& result)
{
    const int count = sub_style.PositionCount();
    int start = count;
    while (start > 0) {
        const PositionKind kind = sub_style.KindAt(start - 1);
        if (kind != PositionKind::Literal && !IsNumberSign(kind)) {
            break;
        }
        --start;
    }
    for (int p = start; p < count; ++p) {
        PutFixedChar(result, sub_style, p, negative);
    }
}

}  // namespace

int NumberFormatter::RenderNumber(int sub_style_number, const wxString& text, wxString& output)
{
    output.clear();
    // Only three sub-styles exist; any other number has no style to render by.
    if (sub_style_number < 1 || sub_style_number > static_cast<int>(sub_styles.size())) {
        error_message = wxGetTranslation(wxString(no_style_message));
        return static_cast<int>(text.length());
    }
    const SubStyle& sub_style = sub_styles[static_cast<std::size_t>(sub_style_number - 1)];
    const NumberText number(text);
    std::wstring result = RenderIntegerPart(sub_style, number);
    const bool decimals_to_end = AppendDecimalPart(sub_style, number, result);
    const bool exponent_runs = sub_style.HasExponent() && number.exponent_letter >= 0;
    if (exponent_runs && AppendExponentPart(sub_style, number, result) != success) {
        error_message = wxGetTranslation(wxString(exponent_digits_message));
        return number.length - 1;
    }
    if ((sub_style.HasDecimalSeparator() || sub_style.HasExponent()) && !exponent_runs && !decimals_to_end) {
        AppendTrailer(sub_style, number.negative, result);
    }
    output = wxString(result);
    error_message.clear();
    return success;
}
