// Parsing of the style language into SubStyle values (NumberFormatter::SetStyle).

#include "numbers/number_formatter.h"

#include <optional>
#include <string>

#include <wx/translation.h>

namespace {

constexpr const wchar_t* no_style_message = L"\nNo style";
constexpr const wchar_t* empty_separator_message = L"\nBad style: decimal separator";
constexpr const wchar_t* digit_after_hash_message = L"\nBad style: '# 0 b after # in decimal part'";
constexpr const wchar_t* fill_at_end_message = L"\nBad style: unexpected 'b' at end";
constexpr const wchar_t* escape_at_end_message = L"\nBad style: unexpected '@' at end";
constexpr const wchar_t* group_message = L"\nBad style: 'group'";
constexpr const wchar_t* decimal_message = L"\nBad style: 'decimal separator'";
constexpr const wchar_t* point_at_end_message = L"\nBad style: unexpected '.' at end";
constexpr const wchar_t* sign_message = L"\nBad style: 'sign'";
constexpr const wchar_t* sign_in_group_message = L"\nBad style: 'sign inside group'";
constexpr const wchar_t* many_signs_message = L"\nBad style: 'many signs'";
constexpr const wchar_t* exponent_message = L"\nBad style: 'exponential'";
constexpr const wchar_t* styles_separator_message = L"\nBad style: 'styles separator'";
constexpr const wchar_t* no_digit_before_separator_message =
    L"\nBad style: 'no digit before styles separator'";
// The missing closing quote is part of the established message text.
constexpr const wchar_t* too_many_separators_message = L"\nBad style: 'too many styles separators";
constexpr const wchar_t* unexpected_end_message = L"\nBad style: 'unexpected style's end'";
constexpr const wchar_t* no_digit_message = L"\nBad style: 'no digit in [sub]style'";

constexpr std::size_t last_sub_style = 2;

struct Refusal {
    int position;
    const wchar_t* message;
};
using RuleResult = std::optional<Refusal>;

// State of the sub-style being read; a ";" starts the next one afresh.
struct SubStyleFlags {
    bool digit_seen = false;
    bool group_open = false;
    bool group_closed = false;
    bool decimal_seen = false;
    bool in_separator = false;
    bool exponent_seen = false;
    bool sign_seen = false;
    bool exponent_sign_seen = false;
    bool hash_in_decimals = false;
    bool section_digit = false;  // a digit placeholder in the current section

    bool InsideGroup() const { return group_open && !group_closed; }
};

struct StyleReader {
    explicit StyleReader(const wxString& style_text) : text(style_text.ToStdWstring()) {}

    std::wstring text;
    std::size_t index = 0;
    std::array<SubStyle, 3> working;
    std::size_t current = 0;
    SubStyleFlags flags;
    wchar_t delimiter = 0;

    SubStyle& Current() { return working[current]; }
    int Index() const { return static_cast<int>(index); }
    int Length() const { return static_cast<int>(text.size()); }
    bool HasFollowing() const { return index + 1 < text.size(); }
    wchar_t TakeFollowing() { return text[++index]; }
    std::int32_t NextPosition() { return static_cast<std::int32_t>(Current().pattern.length()); }
    Refusal RefuseHere(const wchar_t* message) const { return Refusal{Index(), message}; }

    void Add(wchar_t character, PositionKind kind)
    {
        Current().pattern += character;
        Current().kinds.push_back(kind);
    }

    // Digits inside the group or the exponent count for closing those sections.
    void AddDigit(wchar_t character, PositionKind kind)
    {
        Add(character, kind);
        flags.digit_seen = true;
        flags.section_digit = flags.exponent_seen || flags.InsideGroup();
    }
};

RuleResult ReadSeparatorChar(StyleReader& reader, wchar_t character)
{
    if (character != reader.delimiter) {
        reader.Add(character, PositionKind::SeparatorChar);
        reader.Current().decimal_separator += character;
        return std::nullopt;
    }
    if (reader.Current().decimal_separator.empty()) {
        return reader.RefuseHere(empty_separator_message);
    }
    reader.flags.in_separator = false;
    reader.flags.hash_in_decimals = false;
    return std::nullopt;
}

RuleResult ReadDigit(StyleReader& reader, wchar_t character)
{
    SubStyleFlags& flags = reader.flags;
    if (flags.decimal_seen && flags.hash_in_decimals) {
        return reader.RefuseHere(digit_after_hash_message);
    }
    const bool hash = character == L'#';
    reader.AddDigit(character, hash ? PositionKind::OptionalDigit : PositionKind::ZeroDigit);
    if (hash && flags.decimal_seen && !flags.exponent_seen) {
        flags.hash_in_decimals = true;
    }
    return std::nullopt;
}

RuleResult ReadFill(StyleReader& reader)
{
    if (reader.flags.decimal_seen && reader.flags.hash_in_decimals) {
        return reader.RefuseHere(digit_after_hash_message);
    }
    if (!reader.HasFollowing()) {
        return Refusal{reader.Length(), fill_at_end_message};
    }
    reader.AddDigit(reader.TakeFollowing(), PositionKind::FillDigit);
    return std::nullopt;
}

RuleResult ReadEscape(StyleReader& reader)
{
    if (!reader.HasFollowing()) {
        return Refusal{reader.Length(), escape_at_end_message};
    }
    reader.Add(reader.TakeFollowing(), PositionKind::Literal);
    return std::nullopt;
}

RuleResult ReadGroupOpen(StyleReader& reader)
{
    SubStyleFlags& flags = reader.flags;
    if (flags.digit_seen || flags.group_open || flags.decimal_seen || flags.exponent_seen) {
        return reader.RefuseHere(group_message);
    }
    reader.Current().group_start = reader.NextPosition();
    flags.group_open = true;
    flags.section_digit = false;
    return std::nullopt;
}

RuleResult ReadGroupClose(StyleReader& reader)
{
    SubStyleFlags& flags = reader.flags;
    if (!flags.group_open || flags.decimal_seen || flags.exponent_seen || flags.group_closed ||
        !flags.section_digit) {
        return reader.RefuseHere(group_message);
    }
    reader.Current().group_end = reader.NextPosition();
    flags.group_closed = true;
    flags.section_digit = false;
    return std::nullopt;
}

RuleResult ReadDecimalPoint(StyleReader& reader)
{
    SubStyleFlags& flags = reader.flags;
    if (flags.decimal_seen || flags.exponent_seen || flags.InsideGroup()) {
        return reader.RefuseHere(decimal_message);
    }
    if (!reader.HasFollowing()) {
        return Refusal{reader.Length(), point_at_end_message};
    }
    reader.delimiter = reader.TakeFollowing();
    reader.Current().decimal_index = reader.NextPosition();
    flags.decimal_seen = true;
    flags.in_separator = true;
    flags.section_digit = false;
    return std::nullopt;
}

// Before the exponent letter a sign is the number's; right after it, the
// first is the exponent's own and a later one the number's.
RuleResult ReadSign(StyleReader& reader, wchar_t character)
{
    SubStyleFlags& flags = reader.flags;
    const bool plus = character == L'+';
    if (flags.exponent_seen && !flags.exponent_sign_seen) {
        reader.Add(character, plus ? PositionKind::ExponentPlusSign : PositionKind::ExponentMinusSign);
        flags.exponent_sign_seen = true;
        return std::nullopt;
    }
    if (flags.sign_seen) {
        return reader.RefuseHere(flags.exponent_seen ? many_signs_message : sign_message);
    }
    if (flags.InsideGroup()) {
        return reader.RefuseHere(sign_in_group_message);
    }
    reader.Add(character, plus ? PositionKind::PlusSign : PositionKind::MinusSign);
    flags.sign_seen = true;
    return std::nullopt;
}

RuleResult ReadExponent(StyleReader& reader, wchar_t character)
{
    SubStyleFlags& flags = reader.flags;
    if (!flags.digit_seen || flags.exponent_seen || flags.InsideGroup()) {
        return reader.RefuseHere(exponent_message);
    }
    reader.Current().exponent_index = reader.NextPosition();
    reader.Add(character, character == L'E' ? PositionKind::ExponentUpper : PositionKind::ExponentLower);
    flags.exponent_seen = true;
    flags.section_digit = false;
    flags.hash_in_decimals = false;
    return std::nullopt;
}

RuleResult ReadStylesSeparator(StyleReader& reader)
{
    const SubStyleFlags& flags = reader.flags;
    if (reader.Current().pattern.empty() || flags.InsideGroup() ||
        (flags.exponent_seen && !flags.section_digit)) {
        return reader.RefuseHere(styles_separator_message);
    }
    if (!flags.digit_seen && reader.current != last_sub_style) {
        return reader.RefuseHere(no_digit_before_separator_message);
    }
    if (reader.current == last_sub_style) {
        return reader.RefuseHere(too_many_separators_message);
    }
    ++reader.current;
    reader.flags = SubStyleFlags{};
    return std::nullopt;
}

RuleResult ReadCharacter(StyleReader& reader, wchar_t character)
{
    if (reader.flags.in_separator) {
        return ReadSeparatorChar(reader, character);
    }
    switch (character) {
    case L'#':
    case L'0':
        return ReadDigit(reader, character);
    case L'b':
        return ReadFill(reader);
    case L'@':
        return ReadEscape(reader);
    case L'[':
        return ReadGroupOpen(reader);
    case L']':
        return ReadGroupClose(reader);
    case L'.':
        return ReadDecimalPoint(reader);
    case L'+':
    case L'-':
        return ReadSign(reader, character);
    case L'E':
    case L'e':
        return ReadExponent(reader, character);
    case L';':
        return ReadStylesSeparator(reader);
    default:
        reader.Add(character, PositionKind::Literal);
        return std::nullopt;
    }
}

RuleResult ReadStyleEnd(const StyleReader& reader)
{
    const SubStyleFlags& flags = reader.flags;
    if (flags.in_separator || flags.InsideGroup() || (flags.exponent_seen && !flags.section_digit)) {
        return Refusal{reader.Length(), unexpected_end_message};
    }
    // The third sub-style may be a plain word shown for zero.
    if (!flags.digit_seen && reader.current != last_sub_style) {
        return Refusal{reader.Length(), no_digit_message};
    }
    return std::nullopt;
}

RuleResult ReadStyle(StyleReader& reader)
{
    for (; reader.index < reader.text.size(); ++reader.index) {
        if (RuleResult refusal = ReadCharacter(reader, reader.text[reader.index])) {
            return refusal;
        }
    }
    return ReadStyleEnd(reader);
}

}  // namespace

int NumberFormatter::SetStyle(const wxString& style_text)
{
    if (style_text.empty()) {
        error_message = wxGetTranslation(wxString(no_style_message));
        return 0;
    }
    // Re-installing the style in force is a no-op, even for error_message.
    if (style_text == style) {
        return success;
    }
    StyleReader reader(style_text);
    if (const RuleResult refusal = ReadStyle(reader)) {
        error_message = wxGetTranslation(wxString(refusal->message));
        return refusal->position;
    }
    style = style_text;
    sub_styles = reader.working;
    error_message.clear();
    return success;
}
