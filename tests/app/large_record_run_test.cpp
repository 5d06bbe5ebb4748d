// A whole run on a $MFT of 4096-byte records: the size found and logged, the
// counts, every record at its number, paths through parents at N x 4096, the
// fixups of all eight strides, the listings.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

const Times kTimes = Times::All(kSomeFiletime);
const std::string kAcross2048 = "across-2048-" + std::string(40, 'n');

RecordBuilder LargeFile(const std::string& name, std::uint64_t parent)
{
    RecordBuilder builder(kLargeRecordSize);
    builder.StandardInformation(kTimes, 0x20).FileName(U16(name), kWin32, parent, kTimes);
    return builder;
}

// Records 16 to 21 after the system records: a directory, a stream past byte
// 1024, a name across byte 2048, a parent inside the file at 1024 bytes a
// record but past its end at 4096, a mismatch in the 7th stride, a deleted file.
MftImage LargeVolume()
{
    MftImage image = SystemRecords(kLargeRecordSize);
    image.Add(RecordBuilder(kLargeRecordSize).Directory(true).StandardInformation(kTimes, 0x10)
                  .FileName(u"Users", kWin32, 5, kTimes).Build());
    image.Add(LargeFile("late.txt", 16).ResidentData(1200).ResidentData(26, u"Zone.Identifier").Build());
    image.Add(RecordBuilder(kLargeRecordSize).StandardInformation(kTimes, 0x20).ResidentData(1200)
                  .ResidentData(26, u"s").ResidentData(408, u"pad").FileName(U16(kAcross2048), kWin32, 16, kTimes)
                  .Build());
    image.Add(LargeFile("orphan.txt", 40).ResidentData(3).Build());
    Bytes broken = LargeFile("broken.txt", 16).ResidentData(3).Build();
    broken[6 * 512 + 510] ^= 0xFF;
    image.Add(broken);
    image.Add(LargeFile("gone.txt", 16).InUse(false).ResidentData(3).Build());
    return image;
}

// FullPath by RecNo and ADS flag, from a report in the long format.
std::map<std::string, std::string> PathsByRecord(const std::string& report)
{
    std::map<std::string, std::string> paths;
    const std::vector<std::string> lines = SplitLines(report);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab = lines[i].find('\t'); tab != std::string::npos; tab = lines[i].find('\t', start)) {
            fields.push_back(lines[i].substr(start, tab - start));
            start = tab + 1;
        }
        fields.push_back(lines[i].substr(start));
        paths[fields[0] + (fields[3] == "1" ? ":ads" : "")] = fields[13];
    }
    return paths;
}

TEST(LargeRecordRunTest, EveryRecordAtItsNumberWithItsPath)
{
    TempDir dir;
    LargeVolume().WriteTo(dir.File("in.mft"));
    const RunResult run = RunVarnethIn(dir, {"-v", "-l", "-o", "r.txt", "in.mft"});
    ASSERT_EQ(run.exit_status, 0) << run.out;

    const std::vector<std::string> logged = LogTexts(run.out);
    const auto verifying = std::find(logged.begin(), logged.end(), "Opening and verifying $MFT input file.");
    ASSERT_NE(verifying, logged.end());
    ASSERT_NE(verifying + 1, logged.end());
    EXPECT_EQ(*(verifying + 1), "$MFT file records are 4096 bytes each.");
    EXPECT_NE(run.out.find("$MFT file is 90,112 bytes.\n$MFT file contains 22 file records.\n"), std::string::npos);
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "Error: WriteFixupValues() - fixup signatures do not match."), 1);

    const std::map<std::string, std::string> expected = {
        {"0", "\\$MFT"},          {"5", "\\"},
        {"8", "\\$BadClus"},      {"8:ads", "\\$BadClus:$Bad"},
        {"16", "\\Users"},        {"17", "\\Users\\late.txt"},
        {"17:ads", "\\Users\\late.txt:Zone.Identifier"},
        {"18", "\\Users\\" + kAcross2048},
        {"18:ads", "\\Users\\" + kAcross2048 + ":pad"},
        {"19", "orphan.txt"},     {"21", "?\\Users\\gone.txt?"},
    };
    const std::map<std::string, std::string> found = PathsByRecord(ReadFile(dir.File("r.txt")));
    for (const auto& [record, path] : expected) {
        ASSERT_EQ(found.count(record), 1u) << record;
        EXPECT_EQ(found.at(record), path) << record;
    }
    EXPECT_EQ(found.count("20"), 0u);  // its fixups failed

    // Without -v the size is not said; the listing finds the same names.
    const RunResult listing = RunVarnethIn(dir, {"-f", "in.mft"});
    EXPECT_EQ(listing.out.find("4096 bytes each"), std::string::npos);
    const std::vector<std::string> names = SplitLines(listing.out);
    const std::vector<std::string> listed = {"late.txt", "late.txt:Zone.Identifier", kAcross2048, "orphan.txt",
                                             "gone.txt"};
    for (const std::string& name : listed) {
        EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
    }
}

}  // namespace
