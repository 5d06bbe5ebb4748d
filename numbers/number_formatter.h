#ifndef VARNETH_NUMBERS_NUMBER_FORMATTER_H
#define VARNETH_NUMBERS_NUMBER_FORMATTER_H

#include <array>
#include <cstdint>
#include <vector>

#include <wx/string.h>

// What one position of a parsed sub-style stands for. The values are stored
// and compared as numbers, so they are fixed.
enum class PositionKind : std::int32_t {
    OptionalDigit = 1,
    ZeroDigit = 2,
    FillDigit = 3,
    PlusSign = 4,
    MinusSign = 5,
    ExponentPlusSign = 6,
    ExponentMinusSign = 7,
    Literal = 8,
    SeparatorChar = 9,
    ExponentUpper = 10,
    ExponentLower = 11,
};

bool IsDigitPlaceholder(PositionKind kind);
bool IsNumberSign(PositionKind kind);
bool IsExponentLetter(PositionKind kind);

// Only ASCII digits count: number text is never read by the locale.
bool IsDecimalDigit(wchar_t character);

// One of the (up to three) ";"-separated parts of a style, in parsed form.
// Every position index counts from 0 within this sub-style's own pattern.
struct SubStyle {
    wxString pattern;                 // one kept character per position
    std::vector<PositionKind> kinds;  // as long as pattern
    std::int32_t group_start = 0;     // first position of the repeating group
    std::int32_t group_end = 0;       // just after the group; 0: no group
    wxString decimal_separator;
    std::int32_t decimal_index = 0;   // 0 when absent (see HasDecimalSeparator)
    std::int32_t exponent_index = 0;  // 0 when absent (see HasExponent)

    // A stored index of 0 is ambiguous, so presence is read from the kind
    // stored at the index.
    bool HasGroup() const;
    bool HasDecimalSeparator() const;
    bool HasExponent() const;
    // Positions usable without going out of range, even when pattern and
    // kinds were filled by hand with different lengths.
    int PositionCount() const;
    PositionKind KindAt(int position) const;
    wchar_t CharAt(int position) const;
};

// Lays out decimal number text by a style such as "[,###]" (1234567 becomes
// 1,234,567). The number is never converted to a machine number, so there is
// no range limit. Results: -1 (success) or the position where it failed.
class NumberFormatter {
public:
    static constexpr int success = -1;

    explicit NumberFormatter(const wxString& style_text);

    // Parses and installs a style; on refusal the old style stays in force and
    // error_message tells why.
    int SetStyle(const wxString& style_text);

    // Formats number text (blanks around it allowed) by the installed style.
    int FormatNumber(const wxString& number, wxString& output);

    // -1 when the whole text is an accepted number, else the refused position.
    int ValidateNumber(const wxString& text) const;

    // Lays out one trimmed, validated number by sub-style 1, 2 or 3.
    int RenderNumber(int sub_style_number, const wxString& text, wxString& output);

    wxString style;
    std::array<SubStyle, 3> sub_styles;
    wxString error_message;
};

#endif
