// What reaches the examiner's console: UTF-8 bytes whatever the locale, in
// call order, with nothing a terminal would act on.

#include <gtest/gtest.h>

#include "support/cli_runner.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

Bytes NamedFile(const std::u16string& name, const std::u16string& stream = u"")
{
    RecordBuilder record;
    record.StandardInformation(Times::All(kSomeFiletime)).FileName(name, kWin32AndDos, 5).ResidentData(4);
    if (!stream.empty()) {
        record.ResidentData(8, stream);
    }
    return record.Build();
}

class ConsoleOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MftImage image = SystemRecords();
        image.Add(NamedFile(U16("Ünïcødé ☃.txt"), U16("Zone.Identifier")));
        image.Add(NamedFile(U16("\xF0\x9F\x98\x80.txt")));                 // non-BMP
        image.Add(NamedFile(std::u16string(u"half") + char16_t(0xD800) + u".txt"));  // lone surrogate
        image.Add(NamedFile(u"esc\x1b[2Jape\t.txt", u"s\ntream"));
        image.WriteTo(dir_.File("in.mft"));
    }

    RunResult Run(const std::vector<std::string>& args, const std::string& locale)
    {
        RunOptions options;
        options.env = {{"LC_ALL", locale}, {"LANG", locale}};
        return RunVarnethIn(dir_, args, options);
    }

    TempDir dir_;
};

TEST_F(ConsoleOutputTest, NamesArePrintedAsUtf8UnderEveryLocale)
{
    for (const char* locale : {"C", "POSIX", "C.UTF-8"}) {
        const RunResult names = Run({"-f", "in.mft"}, locale);
        EXPECT_EQ(names.exit_status, 0) << locale;
        const std::vector<std::string> lines = SplitLines(names.out);
        const std::vector<std::string> tail(lines.end() - 6, lines.end());
        const std::vector<std::string> expected = {
            "Ünïcødé ☃.txt",
            "Ünïcødé ☃.txt:Zone.Identifier",
            "\xF0\x9F\x98\x80.txt",
            "half\xEF\xBF\xBD.txt",
            "esc\xEF\xBF\xBD[2Jape\xEF\xBF\xBD.txt",
            "esc\xEF\xBF\xBD[2Jape\xEF\xBF\xBD.txt:s\xEF\xBF\xBDtream",
        };
        EXPECT_EQ(tail, expected) << locale;

        const RunResult streams = Run({"-a", "in.mft"}, locale);
        EXPECT_EQ(SplitLines(streams.out),
                  (std::vector<std::string>{"$BadClus:$Bad", "Ünïcødé ☃.txt:Zone.Identifier",
                                            "esc\xEF\xBF\xBD[2Jape\xEF\xBF\xBD.txt:s\xEF\xBF\xBDtream"}))
            << locale;
    }
}

TEST_F(ConsoleOutputTest, NonAsciiInputNameSurvivesInMessagesAndFiles)
{
    std::rename(dir_.File("in.mft").c_str(), dir_.File("Bêta-Ω.mft").c_str());
    const RunResult result = Run({"-v", "-o", "rapport-é.txt", "Bêta-Ω.mft"}, "C");
    EXPECT_EQ(result.exit_status, 0) << result.out;
    EXPECT_NE(result.out.find(": Opening output file rapport-é.txt."), std::string::npos) << result.out;
    EXPECT_TRUE(FileExists(dir_.File("rapport-é.txt")));
    // A name that is not UTF-8 at all still opens (its bytes are kept).
    std::rename(dir_.File("Bêta-Ω.mft").c_str(), dir_.File("raw\xFF.mft").c_str());
    EXPECT_EQ(Run({"raw\xFF.mft"}, "C").exit_status, 0);
}

TEST_F(ConsoleOutputTest, ReportRowsKeepTheirFieldCountWithHostileNames)
{
    ASSERT_EQ(Run({"-l", "-m", "HO\tST", "in.mft"}, "C").exit_status, 0);
    const std::vector<std::string> lines = SplitLines(ReadFile(dir_.File("varneth_HO\tST.txt")));
    ASSERT_GT(lines.size(), 5u);
    for (const std::string& line : lines) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 32) << line;
    }
}

}  // namespace
