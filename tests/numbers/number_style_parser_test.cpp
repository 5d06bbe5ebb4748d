#include <gtest/gtest.h>

#include <string>

#include "numbers/number_formatter.h"

namespace varneth_test {
namespace {

std::string KindsText(const SubStyle& sub_style)
{
    std::string text;
    for (PositionKind kind : sub_style.kinds) {
        text += (text.empty() ? "" : " ") + std::to_string(static_cast<int>(kind));
    }
    return text;
}

int ReachedSubStyles(const NumberFormatter& formatter)
{
    int reached = 0;
    for (const SubStyle& sub_style : formatter.sub_styles) {
        reached += sub_style.pattern.empty() ? 0 : 1;
    }
    return reached;
}

// One row per sub-style of an accepted style. A separator "" means none, and
// group 0..0 means no group; absent indexes are stored as 0.
struct AcceptedSubStyle {
    const wchar_t* style;
    int reached;  // sub-styles with a pattern
    int slot;
    const wchar_t* pattern;
    const char* kinds;
    int group_start, group_end;
    const wchar_t* separator;
    int decimal_index;
    bool has_exponent;
    int exponent_index;
};

const AcceptedSubStyle kAccepted[] = {
    {L"[,###]", 1, 0, L",###", "8 1 1 1", 0, 4, L"", 0, false, 0},
    {L"-[,###].','00", 1, 0, L"-,###,00", "5 8 1 1 1 9 2 2", 1, 5, L",", 5, false, 0},
    {L"0.'.'00E+00", 1, 0, L"0.00E+00", "2 9 2 2 10 6 2 2", 0, 0, L".", 1, true, 4},
    {L"b b b 0", 1, 0, L"   0", "3 3 3 2", 0, 0, L"", 0, false, 0},
    {L"[,###];([,###]);nil", 3, 0, L",###", "8 1 1 1", 0, 4, L"", 0, false, 0},
    {L"[,###];([,###]);nil", 3, 1, L"(,###)", "8 8 1 1 1 8", 1, 5, L"", 0, false, 0},
    {L"[,###];([,###]);nil", 3, 2, L"nil", "8 8 8", 0, 0, L"", 0, false, 0},
    // "a" is a literal and "b" makes "c" a fill character.
    {L"abc", 1, 0, L"ac", "8 3", 0, 0, L"", 0, false, 0},
    // An empty third sub-style counts as absent.
    {L"#;#;", 2, 1, L"#", "1", 0, 0, L"", 0, false, 0},
    {L"#;#;nil", 3, 2, L"nil", "8 8 8", 0, 0, L"", 0, false, 0},
    {L"#;#;z@ero", 3, 2, L"zero", "8 8 8 8", 0, 0, L"", 0, false, 0},
    {L"@#@0@b@@@[@]@.@+@-@E@e@;#", 1, 0, L"#0b@[].+-Ee;#", "8 8 8 8 8 8 8 8 8 8 8 8 1", 0, 0, L"", 0, false, 0},
    {L"12#", 1, 0, L"12#", "8 8 1", 0, 0, L"", 0, false, 0},
    // Any delimiter; inside the separator text every other character is kept.
    {L"#.x#;[E]bx0", 1, 0, L"##;[E]b0", "1 9 9 9 9 9 9 2", 0, 0, L"#;[E]b", 1, false, 0},
    {L"#..,.0", 1, 0, L"#,0", "1 9 2", 0, 0, L",", 1, false, 0},
    {L".'.'0#", 1, 0, L".0#", "9 2 1", 0, 0, L".", 0, false, 0},
    // After the exponent letter: its own sign, then the number's sign.
    {L"#E-0+", 1, 0, L"#E-0+", "1 10 7 2 4", 0, 0, L"", 0, true, 1},
    {L"#e0-", 1, 0, L"#e0-", "1 11 2 7", 0, 0, L"", 0, true, 1},
    {L"#.'.'#E#0", 1, 0, L"#.#E#0", "1 9 1 10 1 2", 0, 0, L".", 1, true, 3},
    {L"[#,]", 1, 0, L"#,", "1 8", 0, 2, L"", 0, false, 0},
    {L"[,###]-", 1, 0, L",###-", "8 1 1 1 5", 0, 4, L"", 0, false, 0},
    {L"#.'.'0b*", 1, 0, L"#.0*", "1 9 2 3", 0, 0, L".", 1, false, 0},
};

TEST(NumberStyleParser, AcceptedStylesHoldTheirParsedForm)
{
    for (const AcceptedSubStyle& row : kAccepted) {
        SCOPED_TRACE(wxString(row.style).ToStdString() + " slot " + std::to_string(row.slot));
        NumberFormatter formatter(L"#");
        ASSERT_EQ(formatter.SetStyle(row.style), NumberFormatter::success) << formatter.error_message;
        EXPECT_EQ(formatter.style, row.style);
        EXPECT_EQ(formatter.error_message, L"");
        EXPECT_EQ(ReachedSubStyles(formatter), row.reached);
        const SubStyle& sub_style = formatter.sub_styles[static_cast<std::size_t>(row.slot)];
        EXPECT_EQ(sub_style.pattern, row.pattern);
        EXPECT_EQ(KindsText(sub_style), row.kinds);
        EXPECT_EQ(sub_style.group_start, row.group_start);
        EXPECT_EQ(sub_style.group_end, row.group_end);
        EXPECT_EQ(sub_style.decimal_separator, row.separator);
        EXPECT_EQ(sub_style.HasDecimalSeparator(), row.separator[0] != L'\0');
        EXPECT_EQ(sub_style.decimal_index, row.decimal_index);
        EXPECT_EQ(sub_style.HasExponent(), row.has_exponent);
        EXPECT_EQ(sub_style.exponent_index, row.exponent_index);
    }
}

struct RefusedStyle {
    const wchar_t* style;
    const wchar_t* message;
    int position;
};

const RefusedStyle kRefused[] = {
    {L"", L"\nNo style", 0},
    {L"#]", L"\nBad style: 'group'", 1},
    {L"#[#]", L"\nBad style: 'group'", 1},
    {L"[#", L"\nBad style: 'unexpected style's end'", 2},
    {L"[.###]", L"\nBad style: 'decimal separator'", 1},
    {L"#.", L"\nBad style: unexpected '.' at end", 2},
    {L"#.''", L"\nBad style: decimal separator", 3},
    {L"#.'.'#0", L"\nBad style: '# 0 b after # in decimal part'", 6},
    {L"E#", L"\nBad style: 'exponential'", 0},
    {L"#E+", L"\nBad style: 'unexpected style's end'", 3},
    {L"##+-", L"\nBad style: 'sign'", 3},
    {L"[#+]", L"\nBad style: 'sign inside group'", 2},
    {L"#E+0-+", L"\nBad style: 'many signs'", 5},
    {L";", L"\nBad style: 'styles separator'", 0},
    {L"#;", L"\nBad style: 'no digit in [sub]style'", 2},
    {L"#;#;#;#", L"\nBad style: 'too many styles separators", 5},
    {L"#;nil", L"\nBad style: 'no digit in [sub]style'", 5},
    {L"#;#;zero", L"\nBad style: 'exponential'", 5},
    // A third sign after the exponent letter, and one after a leading sign.
    {L"#E-0+-", L"\nBad style: 'many signs'", 5},
    {L"+#E+0-", L"\nBad style: 'many signs'", 5},
    {L"-#-", L"\nBad style: 'sign'", 2},
    {L"b", L"\nBad style: unexpected 'b' at end", 1},
    {L"#b", L"\nBad style: unexpected 'b' at end", 2},
    {L"#@", L"\nBad style: unexpected '@' at end", 2},
    {L"#.'.'#b ", L"\nBad style: '# 0 b after # in decimal part'", 6},
    {L"#.'.'##", L"\nBad style: '# 0 b after # in decimal part'", 6},
    {L"[]", L"\nBad style: 'group'", 1},
    {L"[#]]", L"\nBad style: 'group'", 3},
    {L"[#][#]", L"\nBad style: 'group'", 3},
    {L"#.'.'[#]", L"\nBad style: 'group'", 5},
    {L"#E[#", L"\nBad style: 'group'", 2},
    {L"#E0]", L"\nBad style: 'group'", 3},
    {L"#E0.", L"\nBad style: 'decimal separator'", 3},
    {L"#.'.'#.", L"\nBad style: 'decimal separator'", 6},
    {L"#.'ab", L"\nBad style: 'unexpected style's end'", 5},
    {L"#EE0", L"\nBad style: 'exponential'", 2},
    {L"[#E#]", L"\nBad style: 'exponential'", 2},
    {L"#;;", L"\nBad style: 'styles separator'", 2},
    {L"[#;#]", L"\nBad style: 'styles separator'", 2},
    {L"#E;#", L"\nBad style: 'styles separator'", 2},
    {L"-;#", L"\nBad style: 'no digit before styles separator'", 1},
    {L"#;-;#", L"\nBad style: 'no digit before styles separator'", 3},
    {L"#;#;nil;", L"\nBad style: 'too many styles separators", 7},
    {L"x", L"\nBad style: 'no digit in [sub]style'", 1},
};

TEST(NumberStyleParser, RefusedStylesGiveMessageAndPositionAndKeepTheOldStyle)
{
    for (const RefusedStyle& row : kRefused) {
        SCOPED_TRACE(wxString(row.style).ToStdString());
        NumberFormatter formatter(L"[,###]");
        EXPECT_EQ(formatter.SetStyle(row.style), row.position);
        EXPECT_EQ(formatter.error_message, row.message);
        EXPECT_EQ(formatter.style, L"[,###]");
        EXPECT_EQ(formatter.sub_styles[0].pattern, L",###");
        EXPECT_EQ(formatter.sub_styles[0].group_end, 4);
    }
}

TEST(NumberStyleParser, SameStyleAgainChangesNothingNotEvenTheMessage)
{
    NumberFormatter formatter(L"[,###]");
    ASSERT_EQ(formatter.SetStyle(L"#]"), 1);
    EXPECT_EQ(formatter.SetStyle(L"[,###]"), NumberFormatter::success);
    EXPECT_EQ(formatter.error_message, L"\nBad style: 'group'");
    // A different accepted style clears it.
    EXPECT_EQ(formatter.SetStyle(L"#"), NumberFormatter::success);
    EXPECT_EQ(formatter.error_message, L"");
}

TEST(NumberStyleParser, NewStyleReplacesAllThreeSubStyles)
{
    NumberFormatter formatter(L"[,###];(0.'.'#E+0);nil");
    ASSERT_EQ(ReachedSubStyles(formatter), 3);
    ASSERT_EQ(formatter.SetStyle(L"#"), NumberFormatter::success);
    EXPECT_EQ(formatter.sub_styles[0].group_end, 0);
    for (std::size_t slot : {1u, 2u}) {
        const SubStyle& sub_style = formatter.sub_styles[slot];
        EXPECT_TRUE(sub_style.pattern.empty() && sub_style.kinds.empty()) << slot;
        EXPECT_EQ(sub_style.decimal_separator, L"") << slot;
        EXPECT_EQ(sub_style.decimal_index + sub_style.exponent_index + sub_style.group_end, 0) << slot;
    }
}

}  // namespace
}  // namespace varneth_test
