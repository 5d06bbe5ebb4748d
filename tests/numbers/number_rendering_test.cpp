#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "numbers/number_formatter.h"

namespace varneth_test {
namespace {

// A result of "" with position -1 is an empty success; any other position is
// a failure, which always leaves the output empty.
struct Rendering {
    const wchar_t* style;
    const wchar_t* number;
    const wchar_t* result;
    int position;
    const wchar_t* message;
};

constexpr const wchar_t* kNotANumber = L"Error: not a number";
constexpr const wchar_t* kExponentTooLong = L"Error: too many digits in exponential";

const Rendering kRenderings[] = {
    {L"[,###]", L"0", L"0", -1, L""},
    {L"[,###]", L"123", L"123", -1, L""},
    {L"[,###]", L"1234", L"1,234", -1, L""},
    {L"[,###]", L"1234567", L"1,234,567", -1, L""},
    {L"[,###]", L"007", L"007", -1, L""},
    {L"[,###]", L"-1234", L"1,234", -1, L""},
    {L"[,###]", L"  42 ", L"42", -1, L""},
    {L"[,###]", L"1.5", L"1", -1, L""},
    {L"[,###]", L"1E5", L"1", -1, L""},
    {L"[,###]", L"12a", L"", 2, kNotANumber},
    {L"-[,###]", L"-1234567", L"-1,234,567", -1, L""},
    {L"+[,###]", L"1234", L"+1,234", -1, L""},
    {L"+[,###]", L"-1234", L"-1,234", -1, L""},
    {L"[,###]-", L"-1234", L"1,234-", -1, L""},
    {L"[,000]", L"5", L"005", -1, L""},
    {L"[,000]", L"12345", L"012,345", -1, L""},
    {L"#,##0", L"5", L"5", -1, L""},
    {L"#,##0", L"12345", L"2,345", -1, L""},
    {L"$#,##0", L"5", L"$5", -1, L""},
    {L"b b b 0", L"5", L"   5", -1, L""},
    {L"[,###].'.'00", L"1234.5", L"1,234.50", -1, L""},
    {L"[,###].'.'00", L"1234.567", L"1,234.56", -1, L""},
    {L"[,###].'.'00", L"1234", L"1,234", -1, L""},
    {L"[,###].'.'00", L".5", L".50", -1, L""},
    {L"[,##0].'.'0#", L"1234.5678", L"1,234.5678", -1, L""},
    {L"0.'.'00E+00", L"1.5E3", L"1.50E+03", -1, L""},
    {L"0.'.'00E+00", L"1.5E-3", L"1.50E-03", -1, L""},
    {L"0.'.'00E+00", L"1.5", L"1.50", -1, L""},
    {L"0.'.'00E+00", L"1.5E123", L"", 6, kExponentTooLong},
    {L"0.'.'00e-00", L"1.5E3", L"1.50e03", -1, L""},
    {L"0.'.'00e-00", L"1.5E+3", L"1.50e+03", -1, L""},
    {L"[,###];([,###])", L"-1234", L"(1,234)", -1, L""},
    {L"[,###];([,###])", L"-0", L"0", -1, L""},
    {L"[,###];-[,###];nil", L"-0.0", L"nil", -1, L""},
    {L"[,###];-[,###];nil", L"-5", L"-5", -1, L""},
    // Grouping has no range limit and no digit is ever changed.
    {L"[,###]", L"999", L"999", -1, L""},
    {L"[,###]", L"1000", L"1,000", -1, L""},
    {L"[,###]", L"123456789012345678", L"123,456,789,012,345,678", -1, L""},
    {L"[,###]", L"18446744073709551615", L"18,446,744,073,709,551,615", -1, L""},
    {L"[,###]", L"1234567890123456789012345", L"1,234,567,890,123,456,789,012,345", -1, L""},
    {L"[,000]", L"1234", L"001,234", -1, L""},
    {L"[###]", L"1234567", L"1234567", -1, L""},
    {L"[000]", L"123", L"123", -1, L""},
    {L"[000]", L"12", L"012", -1, L""},
    {L"[#,##]", L"12345", L"123,45", -1, L""},
    // Sub-style choice: "-0" is zero-like; a word may stand for zero.
    {L"[,###];-[,###];nil", L"-0", L"nil", -1, L""},
    {L"[,###];-[,###];nil", L"0", L"nil", -1, L""},
    {L"[,###];-[,###];nil", L"+.0e0", L"nil", -1, L""},
    {L"[,###];-[,###];nil", L"1234", L"1,234", -1, L""},
    {L"[,###];([,###])", L"-", L"", -1, L""},
    {L"[,###];([,###])", L"1234", L"1,234", -1, L""},
    // No integer digits: the closing literals still come out (no lone "(").
    {L"[,###];([,###])", L"-.5", L"()", -1, L""},
    {L"(###)", L".", L"()", -1, L""},
    {L"([,###].'.'00)", L"-.5", L"(.50)", -1, L""},
    {L"[,###]-", L"-.5", L"-", -1, L""},
    {L"#;#;", L"0", L"0", -1, L""},
    // A style without a sign place drops the sign; "+" gets one anyway.
    {L"+###", L"12", L"+12", -1, L""},
    {L"-###", L"-12", L"-12", -1, L""},
    {L"-###", L"12", L"12", -1, L""},
    {L"#-#", L"-5", L"-5", -1, L""},
    // Without a group the integer places are fixed: surplus digits dropped.
    {L"+###", L"1234", L"+234", -1, L""},
    {L"###", L"-", L"", -1, L""},
    // No point in the number: no decimal part, not even its "0" places.
    {L"[,###].'.'00", L"0", L"0", -1, L""},
    {L"[,###].'.'00", L"5.", L"5.00", -1, L""},
    {L"[,###].','00", L"1234.5", L"1,234,50", -1, L""},
    {L"#.'.'0b*", L"1.5", L"1.5*", -1, L""},
    {L"#.'.'0#", L"1.", L"1.0", -1, L""},
    // Literals after the decimals come out when the decimals do not reach them.
    {L"#.'.'00 kr", L"5", L"5 kr", -1, L""},
    {L"#.'.'00 kr", L"5.1", L"5.10 kr", -1, L""},
    {L"#.'.'00-", L"-5", L"5-", -1, L""},
    {L"0.'.'00E+00 x", L"1.5", L"1.50 x", -1, L""},
    {L"0.'.'00E+00 x", L"1.5E3", L"1.50E+03 x", -1, L""},
    // Exponents: the style's letter; signs only where the style has places.
    {L"0.'.'00E00", L"1.5E-3", L"1.50E03", -1, L""},
    {L"0.'.'00E+00", L"1.5e3", L"1.50E+03", -1, L""},
    {L"0E+00", L"5", L"5", -1, L""},
    {L"0E+00", L"5E", L"5E+00", -1, L""},
    {L"0E+00", L"5E-", L"5E-00", -1, L""},
    {L"0E+##", L"5E7", L"5E+7", -1, L""},
    {L"0Eb*b*", L"5E3", L"5E*3", -1, L""},
    {L"0E+0-", L"-5E3", L"5E+3-", -1, L""},
    {L"0E0 0", L"5E3", L"5E0 3", -1, L""},
    {L"0E##,#", L"5E3", L"5E3", -1, L""},
    {L"0E##,#", L"5E123", L"5E12,3", -1, L""},
    {L"0E##,#", L"5E1234", L"", 5, kExponentTooLong},
    {L"0E(#)", L"5E3", L"5E(3)", -1, L""},
    {L"0E(#)", L"5E", L"5E(", -1, L""},
    {L"0E+0", L"  5E+12 ", L"", 6, kExponentTooLong},
    // Failure positions count the leading blanks of the given text.
    {L"[,###]", L"  1x", L"", 3, kNotANumber},
    {L"[,###]", L" \t\n\v\f\r1x", L"", 7, kNotANumber},
    {L"[,###]", L"1 2", L"", 1, kNotANumber},
    {L"[,###]", L"--1", L"", 1, kNotANumber},
    {L"[,###]", L"E5", L"", 0, kNotANumber},
};

TEST(NumberRendering, ExamplesAndEdgeCases)
{
    for (const Rendering& row : kRenderings) {
        SCOPED_TRACE(wxString(row.style).ToStdString() + " | " + wxString(row.number).ToStdString());
        NumberFormatter formatter(row.style);
        ASSERT_EQ(formatter.style, row.style) << formatter.error_message;
        wxString output = L"stale";
        EXPECT_EQ(formatter.FormatNumber(row.number, output), row.position);
        EXPECT_EQ(output, row.result);
        EXPECT_EQ(formatter.error_message, row.message);
        EXPECT_EQ(formatter.style, row.style);
    }
}

struct Validation {
    const wchar_t* text;
    int position;
};

const Validation kValidations[] = {
    {L"", -1},       {L"0", -1},     {L"-", -1},       {L".", -1},      {L"5.", -1},
    {L".5", -1},     {L"1E", -1},    {L"1e5", -1},     {L"+1.5e-3", -1}, {L"1.E+3", -1},
    {L"-.5E3", -1},  {L"12a", 2},    {L"--1", 1},      {L"1-", 1},      {L".-1", 1},
    {L"1..2", 2},    {L"1E5.2", 3},  {L"E5", 0},       {L".E5", 1},     {L"1EE5", 2},
    {L"1E+-5", 3},   {L"1E5+", 3},   {L"1E5e", 3},     {L" 1", 0},      {L"1 ", 1},
    {L"\u0663", 0},  {L"1,000", 1},
};

TEST(NumberRendering, ValidateNumberGivesTheFirstRefusedPosition)
{
    const NumberFormatter formatter(L"#");
    for (const Validation& row : kValidations) {
        EXPECT_EQ(formatter.ValidateNumber(row.text), row.position) << wxString(row.text).ToStdString();
    }
}

TEST(NumberRendering, WithoutStyleNothingIsFormatted)
{
    NumberFormatter formatter(L"#]");
    wxString output = L"stale";
    EXPECT_EQ(formatter.FormatNumber(L" 123", output), 4);
    EXPECT_EQ(output, L"");
    EXPECT_EQ(formatter.error_message, L"No style. No format done");
    // An empty number text is no error, style or not.
    formatter.error_message = L"old";
    EXPECT_EQ(formatter.FormatNumber(L"", output), NumberFormatter::success);
    EXPECT_EQ(formatter.error_message, L"old");
}

TEST(NumberRendering, BlankNumberTextIsNoErrorAndKeepsTheOldMessage)
{
    NumberFormatter formatter(L"[,###]");
    wxString output;
    ASSERT_EQ(formatter.FormatNumber(L"x", output), 0);
    for (const wchar_t* blank : {L"", L" ", L" \t\r\n"}) {
        output = L"stale";
        EXPECT_EQ(formatter.FormatNumber(blank, output), NumberFormatter::success);
        EXPECT_EQ(output, L"");
        EXPECT_EQ(formatter.error_message, L"Error: not a number");
    }
    EXPECT_EQ(formatter.FormatNumber(L"1", output), NumberFormatter::success);
    EXPECT_EQ(formatter.error_message, L"");
}

TEST(NumberRendering, RenderNumberUsesTheGivenSubStyle)
{
    NumberFormatter formatter(L"[,###];([,###])");
    wxString output;
    EXPECT_EQ(formatter.RenderNumber(2, L"1234", output), NumberFormatter::success);
    EXPECT_EQ(output, L"(1,234)");
    EXPECT_EQ(formatter.RenderNumber(3, L"1234", output), NumberFormatter::success);
    EXPECT_EQ(output, L"");
    for (int outside : {0, 4, -1, std::numeric_limits<int>::min()}) {
        output = L"stale";
        EXPECT_EQ(formatter.RenderNumber(outside, L"1234", output), 4) << outside;
        EXPECT_EQ(output, L"") << outside;
        EXPECT_EQ(formatter.error_message, L"No style. No format done") << outside;
    }
}

}  // namespace
}  // namespace varneth_test
