#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "report/report_text.h"

namespace {

wxString FromCodePoints(std::initializer_list<std::uint32_t> code_points)
{
    wxString text;
    for (std::uint32_t c : code_points) {
        text.append(1, static_cast<wchar_t>(c));
    }
    return text;
}

struct SanitizeCase {
    const char* label;
    std::initializer_list<std::uint32_t> input;
    std::initializer_list<std::uint32_t> expected;
};

TEST(SanitizedTextTest, ReplacesControlsAndNonScalarValues)
{
    const SanitizeCase cases[] = {
        {"plain", {'a', '.', 'b'}, {'a', '.', 'b'}},
        {"empty", {}, {}},
        {"tab", {'a', 0x09, 'b'}, {'a', 0xFFFD, 'b'}},
        {"lf and cr", {0x0A, 'x', 0x0D}, {0xFFFD, 'x', 0xFFFD}},
        {"nul", {'a', 0x00}, {'a', 0xFFFD}},
        {"escape sequence", {0x1B, '[', '2', 'J'}, {0xFFFD, '[', '2', 'J'}},
        {"last C0", {0x1F}, {0xFFFD}},
        {"space stays", {0x20}, {0x20}},
        {"tilde stays", {0x7E}, {0x7E}},
        {"del", {0x7F}, {0xFFFD}},
        {"first C1", {0x80}, {0xFFFD}},
        {"CSI", {0x9B, '2', 'J'}, {0xFFFD, '2', 'J'}},
        {"last C1", {0x9F}, {0xFFFD}},
        {"nbsp stays", {0xA0}, {0xA0}},
        {"high surrogate", {0xD800}, {0xFFFD}},
        {"low surrogate", {'x', 0xDFFF}, {'x', 0xFFFD}},
        {"before surrogates", {0xD7FF}, {0xD7FF}},
        {"after surrogates", {0xE000}, {0xE000}},
        {"non-BMP stays", {0x1F600}, {0x1F600}},
        {"last scalar value", {0x10FFFF}, {0x10FFFF}},
        {"beyond Unicode", {0x110000, 'a'}, {0xFFFD, 'a'}},
        {"replacement stays", {0xFFFD}, {0xFFFD}},
        {"run of controls", {0x01, 0x02, 0x03}, {0xFFFD, 0xFFFD, 0xFFFD}},
    };
    for (const SanitizeCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(SanitizedText(FromCodePoints(c.input)), FromCodePoints(c.expected));
    }
}

TEST(SanitizedTextTest, AppendsAfterExistingText)
{
    wxString out = wxS("pre:");
    AppendSanitized(out, FromCodePoints({'a', 0x0A, 'b'}));
    AppendSanitized(out, wxS("clean"));
    EXPECT_EQ(out, wxS("pre:a") + FromCodePoints({0xFFFD}) + wxS("bclean"));
}

TEST(AppendUnsignedTest, DecimalDigits)
{
    const struct {
        std::uint64_t value;
        const char* expected;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {10, "10"},
        {5000, "5000"},
        {4294967295ULL, "4294967295"},
        {4294967296ULL, "4294967296"},
        {281474976710655ULL, "281474976710655"},
        {18446744073709551615ULL, "18446744073709551615"},
    };
    for (const auto& c : cases) {
        wxString out = wxS("x");
        AppendUnsigned(out, c.value);
        EXPECT_EQ(out, wxS("x") + wxString(c.expected)) << c.expected;
    }
}

}  // namespace
