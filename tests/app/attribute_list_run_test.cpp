// A whole run over a file whose name and streams live only in an extension
// record: the base record gets its rows, its body lines (with the extension
// record's attribute ids) and its listing; the extension record gets none.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

const Times kTimes = Times::All(kSomeFiletime);

// Records 16 (the base, a resident list) and 17 (its extension record) after
// the system records.
MftImage ListVolume(std::size_t size)
{
    MftImage image = SystemRecords(size);
    image.Add(RecordBuilder(size).StandardInformation(kTimes, 0x20)
                  .AttributeList({{kTypeStandardInformation, 16}, {kTypeFileName, 17}, {kTypeData, 17}})
                  .Build());
    image.Add(RecordBuilder(size).BaseRecord(16, 1).FileName(u"only.txt", kWin32, 5, kTimes)
                  .ResidentData(5).NonResidentData(5000, 8192, u"s1").Build());
    return image;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& start)
{
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(text)) {
        if (line.rfind(start, 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

class AttributeListRunTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(AttributeListRunTest, TheBaseRecordIsReportedWithWhatItsExtensionRecordHolds)
{
    TempDir dir;
    ListVolume(GetParam()).WriteTo(dir.File("in.mft"));
    const RunResult report = RunVarnethIn(dir, {"-b", "body.txt", "-o", "r.txt", "in.mft"});
    ASSERT_EQ(report.exit_status, 0) << report.out;

    const std::string rows = ReadFile(dir.File("r.txt"));
    const std::vector<std::string> base_rows = LinesStartingWith(rows, "16\t");
    ASSERT_EQ(base_rows.size(), 2u);
    EXPECT_NE(base_rows[0].find("\tonly.txt\t"), std::string::npos);
    EXPECT_NE(base_rows[0].find("\t5\t5\t"), std::string::npos);  // the unnamed stream's sizes
    EXPECT_NE(base_rows[1].find("\t\\only.txt:s1\t"), std::string::npos);
    EXPECT_NE(base_rows[1].find("\t5000\t8192\t"), std::string::npos);
    EXPECT_TRUE(LinesStartingWith(rows, "17\t").empty());

    std::vector<std::string> body;
    for (const std::string& line : SplitLines(ReadFile(dir.File("body.txt")))) {
        if (line.find("|16-") != std::string::npos || line.find("|17") != std::string::npos) {
            body.push_back(line.substr(0, line.find("|0|0|")));
        }
    }
    EXPECT_EQ(body, (std::vector<std::string>{"0|/only.txt|16-128-1|r/rrwxrwxrwx",
                                              "0|/only.txt ($FILE_NAME)|16-48-0|r/rrwxrwxrwx",
                                              "0|/only.txt:s1|16-128-2|r/rrwxrwxrwx"}));

    const RunResult listing = RunVarnethIn(dir, {"-f", "in.mft"});
    ASSERT_EQ(listing.exit_status, 0) << listing.out;
    const std::vector<std::string> names = SplitLines(listing.out);
    const auto only = std::find(names.begin(), names.end(), "only.txt");
    ASSERT_NE(only, names.end());
    ASSERT_NE(only + 1, names.end());
    EXPECT_EQ(*(only + 1), "only.txt:s1");
}

// A folder whose name lives only in its extension record, met by the walk of
// a file before the record loop reaches the folder; and an extension record
// of the $MFT itself (base reference: record 0, sequence 1), which is no file.
TEST_P(AttributeListRunTest, AFolderNamedInItsExtensionRecordIsOnThePathsBelowIt)
{
    MftImage image = SystemRecords(GetParam());
    image.Add(RecordBuilder(GetParam()).FileName(u"inner.txt", kWin32, 17, kTimes).Build());  // 16
    image.Add(RecordBuilder(GetParam()).Directory(true).StandardInformation(kTimes, 0x10)   // 17
                  .AttributeList({{kTypeStandardInformation, 17}, {kTypeFileName, 18}})
                  .Build());
    image.Add(RecordBuilder(GetParam()).BaseRecord(17, 1).FileName(u"folder", kWin32, 5, kTimes).Build());  // 18
    image.Add(RecordBuilder(GetParam()).BaseRecord(0, 1).FileName(u"$MFT", kWin32, 5, kTimes).Build());    // 19
    image.Add(RecordBuilder(GetParam()).FileName(u"top.txt", kWin32, 5, kTimes).FileName(u"link.txt", kPosix, 17).Build());  // 20
    TempDir dir;
    image.WriteTo(dir.File("in.mft"));
    const RunResult report = RunVarnethIn(dir, {"-b", "body.txt", "-o", "r.txt", "in.mft"});
    ASSERT_EQ(report.exit_status, 0) << report.out;
    const std::string rows = ReadFile(dir.File("r.txt"));
    const std::vector<std::string> inner = LinesStartingWith(rows, "16\t");
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_NE(inner[0].find("\t\\folder\\inner.txt\t"), std::string::npos) << inner[0];
    EXPECT_EQ(LinesStartingWith(rows, "17\t").size(), 1u);
    EXPECT_TRUE(LinesStartingWith(rows, "18\t").empty());
    EXPECT_TRUE(LinesStartingWith(rows, "19\t").empty());
    const std::string body = ReadFile(dir.File("body.txt"));
    EXPECT_NE(body.find("0|/folder/link.txt ($FILE_NAME)|20-48-"), std::string::npos) << body;
}

INSTANTIATE_TEST_SUITE_P(RecordSizes, AttributeListRunTest, ::testing::Values(kRecordSize, kLargeRecordSize));

}  // namespace
