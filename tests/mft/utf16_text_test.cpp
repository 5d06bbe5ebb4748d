#include <gtest/gtest.h>

#include "mft/utf16_text.h"
#include "support/record_builder.h"

namespace varneth_test {
namespace {

Bytes Units(const std::u16string& text)
{
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        PutLE(bytes, 2 * i, text[i], 2);
    }
    return bytes;
}

wxString Decode(const Bytes& bytes, std::uint64_t unit_count)
{
    wxString text = wxS("stale");  // what the text held before must go
    DecodeUtf16LeInto(ByteReader(bytes.data(), bytes.size()), unit_count, text);
    return text;
}

wxString Decode(const std::u16string& text) { return Decode(Units(text), text.size()); }

TEST(DecodeUtf16LeInto, DecodesTheBasicPlane)
{
    EXPECT_EQ(Decode(u"$MFT"), "$MFT");
    EXPECT_EQ(Decode(U16("Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD")), wxString::FromUTF8("Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD"));
    EXPECT_EQ(Decode(u""), "");
}

TEST(DecodeUtf16LeInto, ASurrogatePairIsOneCharacter)
{
    wxString text = Decode(std::u16string{0xD83D, 0xDE00});
    ASSERT_EQ(text.length(), sizeof(wchar_t) == 4 ? 1u : 2u);
    EXPECT_STREQ(text.utf8_str().data(), "\xF0\x9F\x98\x80");
    EXPECT_STREQ(Decode(std::u16string{0xDBFF, 0xDFFF}).utf8_str().data(), "\xF4\x8F\xBF\xBF");  // U+10FFFF
}

TEST(DecodeUtf16LeInto, ALoneSurrogateBecomesTheReplacementCharacter)
{
    const wxString replacement = wxString::FromUTF8("\xEF\xBF\xBD");
    EXPECT_EQ(Decode(std::u16string{0xD800}), replacement);                    // high at the end
    EXPECT_EQ(Decode(std::u16string{0xDC00, u'x'}), replacement + "x");        // low first
    EXPECT_EQ(Decode(std::u16string{0xD800, u'x'}), replacement + "x");        // high, then no low
    EXPECT_EQ(Decode(std::u16string{0xD800, 0xD800, 0xDC00}), replacement + wxString::FromUTF8("\xF0\x90\x80\x80"));
    // A pair is not formed across the unit count.
    EXPECT_EQ(Decode(Units(std::u16string{0xD83D, 0xDE00}), 1), replacement);
    // Every result converts to UTF-8.
    EXPECT_FALSE(Decode(std::u16string{u'a', 0xDFFF, u'b'}).utf8_str().length() == 0);
}

TEST(DecodeUtf16LeInto, TheTextEndsAtTheFirstZeroUnit)
{
    EXPECT_EQ(Decode(std::u16string(u"ab\0cd", 5)), "ab");
    EXPECT_EQ(Decode(std::u16string(u"\0ab", 3)), "");
}

TEST(DecodeUtf16LeInto, ReadsOnlyWholeUnitsInsideTheReader)
{
    Bytes bytes = Units(u"abcd");
    EXPECT_EQ(Decode(bytes, 100), "abcd");
    bytes.pop_back();  // half a unit at the end
    EXPECT_EQ(Decode(bytes, 4), "abc");
    EXPECT_EQ(Decode(Bytes(), 255), "");
}

// Long texts are read in pieces of 256 units: what lies across the seam
// decodes as it would anywhere else.
TEST(DecodeUtf16LeInto, ATextReadInPiecesDecodesAcrossTheSeams)
{
    const std::u16string a255(255, u'a');
    const wxString w255('a', 255);
    const wxString replacement = wxString::FromUTF8("\xEF\xBF\xBD");
    const wxString smiley = wxString::FromUTF8("\xF0\x9F\x98\x80");
    const struct {
        std::u16string text;
        wxString expected;
    } cases[] = {
        {a255 + std::u16string{0xD83D, 0xDE00, u'b'}, w255 + smiley + "b"},  // a pair across the seam
        {a255 + std::u16string{0xD83D}, w255 + replacement},                 // a high one last, at the seam
        {a255 + std::u16string{0xD83D, u'b'}, w255 + replacement + "b"},     // a high one at the seam, no low
        {a255 + std::u16string{u'b', 0xDE00}, w255 + "b" + replacement},     // a low one first after it
        {a255 + a255 + std::u16string(u"bc\0d", 4), w255 + w255 + "bc"},  // the end in a later piece
        {std::u16string{u'x', 0xD83D, 0xDE00} + a255, "x" + smiley + w255},  // a pair in a piece of mixed units
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.text), c.expected) << c.text.size();
    }
}

TEST(DecodeUtf16LeInto, LongTextsAreDecodedWhole)
{
    std::u16string text;
    for (int i = 0; i < 700; ++i) {
        text.push_back(static_cast<char16_t>(u'A' + i % 26));
    }
    text += std::u16string{0xD83D, 0xDE00};
    wxString decoded = Decode(text);
    ASSERT_EQ(decoded.length(), sizeof(wchar_t) == 4 ? 701u : 702u);
    EXPECT_EQ(decoded[699], wxUniChar('A' + 699 % 26));
}

}  // namespace
}  // namespace varneth_test
