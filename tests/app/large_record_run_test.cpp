// A whole run on a $MFT of 4096-byte records: the size found and logged, the
// counts, every record at its number with its path (parents at N x 4096),
// the fixups of all eight strides.

#include <gtest/gtest.h>

#include <algorithm>
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
    return builder.StandardInformation(kTimes, 0x20).FileName(U16(name), kWin32, parent, kTimes);
}

Bytes LargeDirectory(const std::u16string& name, std::uint64_t parent)
{
    return RecordBuilder(kLargeRecordSize).Directory(true).ResidentAttribute(kTypeIndexRoot, Bytes(1200, 0), u"$I30")
        .FileName(name, kWin32, parent, kTimes).Build();
}

// Records 16 to 22 after the system records: two directories named past byte
// 1024 (behind a large index root; the walk reads 21 before the loop gets
// there), a stream past byte 1024, a name across byte 2048, a parent inside
// the file at 1024 bytes a record but past its end at 4096, a mismatch in the
// 7th stride, a deleted file.
MftImage LargeVolume()
{
    MftImage image = SystemRecords(kLargeRecordSize);
    image.Add(LargeDirectory(u"Users", 5));
    image.Add(LargeFile("late.txt", 21).ResidentData(1200).ResidentData(26, u"Zone.Identifier").Build());
    RecordBuilder across(kLargeRecordSize);
    across.ResidentData(1200).ResidentData(600, u"pad");
    EXPECT_LT(across.NextAttributeOffset() + 0x18 + 0x42, 2048u);  // the name starts before 2048
    EXPECT_GT(across.NextAttributeOffset() + 0x18 + 0x42 + 2 * 52, 2048u);  // and ends after it
    image.Add(across.FileName(U16(kAcross2048), kWin32, 16, kTimes).Build());
    image.Add(LargeFile("orphan.txt", 40).Build());
    Bytes broken = LargeFile("broken.txt", 16).Build();
    broken[6 * 512 + 510] ^= 0xFF;
    image.Add(broken);
    image.Add(LargeDirectory(u"Later", 16));
    image.Add(LargeFile("gone.txt", 16).InUse(false).Build());
    return image;
}

// A report line of the record with this path (RecNo first, FullPath 12th).
bool HasRow(const std::vector<std::string>& lines, const std::string& recno, const std::string& path)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(recno + "\t", 0) == 0 && line.find("\t" + path + "\t") != std::string::npos;
    });
}

TEST(LargeRecordRunTest, EveryRecordAtItsNumberWithItsPath)
{
    TempDir dir;
    LargeVolume().WriteTo(dir.File("in.mft"));
    const RunResult run = RunVarnethIn(dir, {"-v", "-o", "r.txt", "in.mft"});
    ASSERT_EQ(run.exit_status, 0) << run.out;
    const std::vector<std::string> logged = LogTexts(run.out);
    const auto verifying = std::find(logged.begin(), logged.end(), "Opening and verifying $MFT input file.");
    ASSERT_LT(verifying + 1, logged.end());
    EXPECT_EQ(*(verifying + 1), "$MFT file records are 4096 bytes each.");
    EXPECT_NE(run.out.find("$MFT file is 94,208 bytes.\n$MFT file contains 23 file records.\n"), std::string::npos);
    const std::string mismatch = "Error: WriteFixupValues() - fixup signatures do not match.";
    EXPECT_EQ(std::count(logged.begin(), logged.end(), mismatch), 1);

    const std::vector<std::string> rows = SplitLines(ReadFile(dir.File("r.txt")));
    EXPECT_EQ(rows.size(), 1 + 13 + 8u);  // the header, 12 system records and $Bad, 16 to 22 but 20, 2 streams
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"5", "\\"}, {"8", "\\$BadClus:$Bad"}, {"16", "\\Users"}, {"17", "\\Users\\Later\\late.txt"},
        {"17", "\\Users\\Later\\late.txt:Zone.Identifier"}, {"21", "\\Users\\Later"}, {"18", "\\Users\\" + kAcross2048},
        {"18", "\\Users\\" + kAcross2048 + ":pad"}, {"19", "\\$OrphanFiles\\orphan.txt"}, {"22", "?\\Users\\gone.txt?"}};
    for (const auto& [recno, path] : expected) {
        EXPECT_TRUE(HasRow(rows, recno, path)) << recno << " " << path;
    }
}

}  // namespace
