#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/replacement.h"
#include "text/utf8_text.h"

namespace {

// Text of any wchar_t values, as a decoder can leave it.
wxString FromCodePoints(const std::vector<std::uint32_t>& code_points)
{
    wxString text;
    for (std::uint32_t c : code_points) {
        text.append(1, static_cast<wchar_t>(c));
    }
    return text;
}

struct SanitizeCase {
    const char* label;
    std::vector<std::uint32_t> input;
    std::vector<std::uint32_t> expected;
};

// Both sanitizers, the one reading wide text and the one reading its UTF-8
// form, append the same bytes after what the output already holds.
TEST(SanitizeTest, ReplacesControlsAndNonScalarValues)
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
        {"lone surrogates", {0xD800, 'x', 0xDC00, 0xDBFF, 0xDFFF}, {0xFFFD, 'x', 0xFFFD, 0xFFFD, 0xFFFD}},
        {"before surrogates", {0xD7FF}, {0xD7FF}},
        {"after surrogates", {0xE000}, {0xE000}},
        {"other planes stay", {0x41F, 0x20AC, 0xFFFF, 0x1F600}, {0x41F, 0x20AC, 0xFFFF, 0x1F600}},
        {"last scalar value", {0x10FFFF}, {0x10FFFF}},
        {"beyond Unicode", {0x110000, 'a', 0x7FFFFFFF}, {0xFFFD, 'a', 0xFFFD}},
        {"replacement stays", {0xFFFD}, {0xFFFD}},
        {"run of controls", {0x01, 0x02, 0x03}, {0xFFFD, 0xFFFD, 0xFFFD}},
    };
    for (const SanitizeCase& c : cases) {
        SCOPED_TRACE(c.label);
        const wxString input = FromCodePoints(c.input);
        const std::string expected = "before " + ToUtf8(FromCodePoints(c.expected));
        std::string from_wide = "before ";
        AppendSanitized(from_wide, input);
        EXPECT_EQ(from_wide, expected);
        std::string from_utf8 = "before ";
        AppendSanitizedUtf8(from_utf8, ToUtf8(input));
        EXPECT_EQ(from_utf8, expected);
    }
}

// Plain text is passed over eight bytes at a time: a character that is
// replaced or kept must be found wherever it stands, in the first, a middle
// or the last (partly read again) eight bytes, and in text shorter than that.
TEST(SanitizeTest, EveryPositionInLongerText)
{
    const struct {
        const char* label;
        std::string piece;
        std::string expected;
    } pieces[] = {
        {"tab", "\t", "\xEF\xBF\xBD"},
        {"del", "\x7F", "\xEF\xBF\xBD"},
        {"C1 control", "\xC2\x85", "\xEF\xBF\xBD"},
        {"latin letter", "\xC3\xA9", "\xC3\xA9"},
        {"emoji", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"stray continuation byte", "\x80", "\x80"},
    };
    for (const auto& p : pieces) {
        SCOPED_TRACE(p.label);
        for (std::size_t length = 0; length <= 24; ++length) {
            for (std::size_t at = 0; at <= length; ++at) {
                const std::string before(at, 'a');
                const std::string after(length - at, 'z');
                std::string out = "x";
                AppendSanitizedUtf8(out, before + p.piece + after);
                ASSERT_EQ(out, "x" + before + p.expected + after) << "length " << length << ", at " << at;
            }
        }
    }
}

TEST(SanitizeTest, CutUtf8IsCopiedAndNothingPastItIsRead)
{
    const std::string cut_sequences[] = {"\xE2\x82", "a\xF0\x9F\x98", "\xC2", "\x80\xBF", "ok\xC2"};
    for (const std::string& cut : cut_sequences) {
        std::string out;
        AppendSanitizedUtf8(out, std::string_view(cut.data(), cut.size()));
        EXPECT_EQ(out, cut);
    }
    std::string out;
    AppendSanitizedUtf8(out, std::string_view("\xC2\x85\xC2", 3));  // C1 control, then a cut lead byte
    EXPECT_EQ(out, "\xEF\xBF\xBD\xC2");
}

}  // namespace
