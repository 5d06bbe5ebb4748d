#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/entries/number_entry.h"
#include "numbers/number_formatter.h"

namespace varneth_test {
namespace {

// Every string of 1 to max_length characters drawn from the alphabet.
std::vector<std::wstring> AllCombinations(const std::wstring& alphabet, std::size_t max_length)
{
    std::vector<std::wstring> all;
    std::vector<std::wstring> previous = {L""};
    for (std::size_t length = 1; length <= max_length; ++length) {
        std::vector<std::wstring> current;
        for (const std::wstring& stem : previous) {
            for (wchar_t character : alphabet) {
                current.push_back(stem + character);
            }
        }
        all.insert(all.end(), current.begin(), current.end());
        previous = std::move(current);
    }
    return all;
}

// Longer strings from a fixed pseudo-random sequence, the same on every run.
std::vector<std::wstring> LongerStrings(const std::wstring& alphabet, std::size_t count, std::size_t max_length)
{
    std::vector<std::wstring> strings;
    std::uint32_t state = 12345;
    const auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    for (std::size_t index = 0; index < count; ++index) {
        std::wstring text(5 + next() % (max_length - 4), L' ');
        for (wchar_t& character : text) {
            character = alphabet[next() % alphabet.size()];
        }
        strings.push_back(text);
    }
    return strings;
}

const std::wstring kStyleAlphabet = L"#0b@[].+-Ee;'x ";
const std::wstring kNumberAlphabet = L"09.-+Ee x";

const wchar_t* const kSomeNumbers[] = {
    L"0", L"-0", L"7", L"-12345", L"+1234567.891", L"12345678901234567890", L".5", L"-.5", L"5.",
    L"-", L"+", L".", L"1E", L"1E-", L"1.5e+123", L"-9.9E99999", L" 42 ", L"1x", L"E", L"--",
};

const wchar_t* const kSomeStyles[] = {
    L"[,###]", L"-[,###].','00", L"0.'.'00E+00", L"b b b 0", L"[,###];([,###]);nil", L"#,##0",
    L"[,##0].'.'0#", L"0.'.'00e-00", L"0E(#)", L"0E##,#", L"#.'.'00 kr", L"(###)", L"abc",
};

// Accepted positions point inside the pattern; kinds match it one for one.
void ExpectConsistent(const NumberFormatter& formatter)
{
    for (const SubStyle& sub_style : formatter.sub_styles) {
        const auto length = static_cast<std::int32_t>(sub_style.pattern.length());
        ASSERT_EQ(sub_style.kinds.size(), sub_style.pattern.length());
        ASSERT_TRUE(sub_style.group_end == 0 || sub_style.HasGroup());
        ASSERT_TRUE(sub_style.decimal_index == 0 || sub_style.HasDecimalSeparator());
        ASSERT_TRUE(sub_style.exponent_index == 0 || sub_style.HasExponent());
        ASSERT_LE(sub_style.group_end, length);
    }
}

// The promises the fuzz target checks, kept for every generated style and
// number: results inside the text, refusals that say why and leave the old
// style or no output, sub-styles that render in range.
TEST(NumberRobustness, GeneratedStylesParseAndFormatSafely)
{
    std::vector<std::wstring> styles = AllCombinations(kStyleAlphabet, 4);
    const std::vector<std::wstring> longer = LongerStrings(kStyleAlphabet, 60000, 16);
    styles.insert(styles.end(), longer.begin(), longer.end());
    std::size_t accepted = 0;
    for (const std::wstring& style : styles) {
        fuzz_entry::Findings findings;
        NumberFormatter formatter(L"[,###]");
        fuzz_entry::CheckSetStyle(formatter, style, findings);
        if (formatter.style == style) {
            ++accepted;
            ExpectConsistent(formatter);
            for (const wchar_t* number : kSomeNumbers) {
                fuzz_entry::CheckFormat(formatter, number, findings);
                fuzz_entry::CheckSubStyles(formatter, number, findings);
            }
        }
        ASSERT_EQ(findings.First(), "") << wxString(style).ToStdString();
    }
    // The sweep is only worth something if many styles got through.
    EXPECT_GT(accepted, 2000u);
}

TEST(NumberRobustness, GeneratedNumbersFormatSafely)
{
    std::vector<std::wstring> numbers = AllCombinations(kNumberAlphabet, 4);
    const std::vector<std::wstring> longer = LongerStrings(kNumberAlphabet, 5000, 40);
    numbers.insert(numbers.end(), longer.begin(), longer.end());
    for (const wchar_t* style : kSomeStyles) {
        NumberFormatter formatter(style);
        ASSERT_EQ(formatter.style, style);
        for (const std::wstring& number : numbers) {
            fuzz_entry::Findings findings;
            fuzz_entry::CheckFormat(formatter, number, findings);
            fuzz_entry::CheckSubStyles(formatter, number, findings);
            wxString output;
            formatter.RenderNumber(1, number, output);  // unchecked text too: must stay in bounds
            ASSERT_EQ(findings.First(), "") << wxString(style).ToStdString() << " | " << wxString(number).ToStdString();
        }
    }
}

// Sub-styles filled by hand, with positions that no parse produces, must not
// take the rendering out of range or into an endless group repetition.
TEST(NumberRobustness, HandMadeSubStylesRenderSafely)
{
    NumberFormatter formatter(L"#");
    SubStyle& sub_style = formatter.sub_styles[0];
    sub_style.pattern = L",##x";
    sub_style.kinds = {PositionKind::Literal, PositionKind::Literal, PositionKind::ZeroDigit};
    const std::int32_t bad_positions[] = {-5, -1, 0, 1, 2, 3, 4, 100};
    for (std::int32_t start : bad_positions) {
        for (std::int32_t end : bad_positions) {
            sub_style.group_start = start;
            sub_style.group_end = end;
            sub_style.decimal_index = end;
            sub_style.exponent_index = start;
            wxString output;
            EXPECT_EQ(formatter.RenderNumber(1, L"-1234.5E12", output), NumberFormatter::success);
            EXPECT_FALSE(output.empty());
        }
    }
}

}  // namespace
}  // namespace varneth_test
