// The UTF-8 text builders give the UTF-8 form of what their wide twins give,
// and the time texts are FormatUtcTime's, whatever was asked before.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mft/filetime.h"
#include "report/report_text.h"
#include "text/utf8_text.h"

namespace {

// Texts of any wchar_t values, as a decoder can leave them.
std::vector<wxString> Texts()
{
    const std::vector<std::vector<wchar_t>> units = {
        {},
        {L'a', L'.', L't', L'x', L't'},
        {L'a', 0x09, L'b', 0x0A, 0x0D, 0x00},
        {0x1B, L'[', L'2', L'J', 0x7F, 0x80, 0x9B, 0x9F, 0xA0},
        {0x41F, 0x440, 0x438, 0x20AC, 0xFFFD, 0xFFFF, 0x1F600, 0x10FFFF},
        {0xD800, L'x', 0xDC00, 0xDBFF, 0xDFFF},  // lone surrogates
        {0x110000, 0x7FFFFFFF, L'z'},
        {0x7E, 0x20, 0x1F, 0x7F},
    };
    std::vector<wxString> texts;
    for (const std::vector<wchar_t>& text : units) {
        texts.push_back(wxString(text.data(), text.size()));
    }
    return texts;
}

TEST(Utf8TextBuildersTest, SanitizedTextIsTheUtf8OfTheWideSanitizedText)
{
    for (const wxString& text : Texts()) {
        const std::string expected = ToUtf8(SanitizedText(text));
        std::string from_wide = "before ";
        AppendSanitized(from_wide, text);
        EXPECT_EQ(from_wide, "before " + expected) << expected;
        std::string from_utf8 = "before ";
        AppendSanitizedUtf8(from_utf8, ToUtf8(text));
        EXPECT_EQ(from_utf8, "before " + expected) << expected;
    }
}

TEST(Utf8TextBuildersTest, CutUtf8IsCopiedAndNothingPastItIsRead)
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

TEST(Utf8TextBuildersTest, DigitsAndAscii)
{
    for (std::uint64_t value : {0ULL, 7ULL, 10ULL, 1234567890ULL, 18446744073709551615ULL}) {
        wxString wide;
        AppendUnsigned(wide, value);
        std::string narrow = "=";
        AppendUnsigned(narrow, value);
        EXPECT_EQ(narrow, "=" + ToUtf8(wide));
    }
    std::string ascii;
    AppendAscii(ascii, "2012-12-14", 4);
    AppendCharacter(ascii, '\t');
    EXPECT_EQ(ascii, "2012\t");
}

std::vector<wxDateTime> Instants()
{
    std::vector<wxDateTime> instants = {wxDateTime(), FiletimeToDateTime(0), FiletimeToDateTime(UINT64_MAX),
                                        FiletimeToDateTime(130000000000000000ULL)};
    for (std::int64_t ms : {0LL, -1LL, -1000LL, -1001LL, 86399999LL, 86400000LL, -86400000LL, -86400001LL,
                            951782400000LL /* 2000-02-29 */, 4102444799000LL, (1LL << 62), (1LL << 62) + 1,
                            -(1LL << 62) - 7, (1LL << 62) - 1}) {
        instants.push_back(wxDateTime(wxLongLong(ms)));
    }
    std::uint64_t filetime = 116444736000000000ULL;  // 1970
    for (int i = 0; i < 3000; ++i) {
        filetime = filetime * 6364136223846793005ULL + 1442695040888963407ULL;
        instants.push_back(FiletimeToDateTime(filetime % 2650467743999999999ULL));  // up to 9999
        instants.push_back(FiletimeToDateTime(130000000000000000ULL + (filetime % 100000) * 10000000ULL));
    }
    return instants;
}

TEST(UtcTimeTextsTest, EveryTextIsFormatUtcTimesOwn)
{
    UtcTimeTexts texts;
    const std::vector<wxDateTime> instants = Instants();
    for (int round = 0; round < 2; ++round) {  // the second round asks again, in the same order
        for (const wxDateTime& instant : instants) {
            const std::string expected = ToUtf8(FormatUtcTime(instant));
            EXPECT_EQ(std::string(texts.Of(instant)), expected);
            EXPECT_EQ(std::string(texts.Of(instant)), expected);  // at once again: kept
        }
    }
}

}  // namespace
