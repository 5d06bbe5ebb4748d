// Whole runs over folders whose records no longer hold them: a record used
// again, a chain that loops or breaks. Each record's path in the report and
// its names in the body file, in $MFT files of 1024- and 4096-byte records.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

constexpr std::uint64_t kRoot = 5;

class Volume {
public:
    explicit Volume(std::size_t record_size) : record_size_(record_size), image_(SystemRecords(record_size)) {}

    RecordBuilder Record() const { return RecordBuilder(record_size_); }
    // The record at the next number, which must be `recno`.
    Volume& At(std::uint64_t recno, const Bytes& record)
    {
        EXPECT_EQ(image_.RecordCount(), recno);
        image_.Add(record);
        return *this;
    }
    const MftImage& image() const { return image_; }

private:
    std::size_t record_size_;
    MftImage image_;
};

Bytes Folder(const RecordBuilder& builder, const std::u16string& name, std::uint64_t parent,
             std::uint16_t parent_sequence = 1, std::uint8_t name_space = kWin32AndDos)
{
    return RecordBuilder(builder).Directory(true).FileName(name, name_space, parent, {}, parent_sequence).Build();
}

Bytes File(const RecordBuilder& builder, const std::u16string& name, std::uint64_t parent,
           std::uint16_t parent_sequence = 1)
{
    return RecordBuilder(builder).FileName(name, kWin32AndDos, parent, {}, parent_sequence).Build();
}

// Folder records 16 on, each with the files that show it.
MftImage BrokenChains(std::size_t record_size)
{
    Volume v(record_size);
    const RecordBuilder r = v.Record();
    // 16, used again: its files name sequence number 2, the record is at 3 and in use.
    v.At(16, Folder(RecordBuilder(r).SequenceNumber(3), u"reused", kRoot));
    v.At(17, File(r, u"a.txt", 16, 2));
    // 18, deleted and not used since: the next sequence number, not in use.
    v.At(18, Folder(RecordBuilder(r).SequenceNumber(4).InUse(false), u"freed", kRoot));
    v.At(19, File(RecordBuilder(r).InUse(false), u"b.txt", 18, 3));
    // 20, now an extension record of 33.
    v.At(20, RecordBuilder(r).BaseRecord(33, 1).FileName(u"ext", kWin32AndDos, kRoot).Build());
    v.At(21, File(r, u"c.txt", 20));
    // 22 and 23, each the other's parent.
    v.At(22, Folder(r, u"p", 23));
    v.At(23, Folder(r, u"q", 22));
    v.At(24, File(r, u"in-loop.txt", 22));
    // 25, a folder that fails to decode.
    Bytes broken = Folder(r, u"broken", kRoot);
    broken[510] ^= 0xFF;
    v.At(25, broken);
    v.At(26, File(r, u"d.txt", 25));
    // 27, a folder without a name; 29, one with a DOS name only.
    v.At(27, RecordBuilder(r).Directory(true).StandardInformation({}).Build());
    v.At(28, File(r, u"e.txt", 27));
    v.At(29, Folder(r, u"DOSDIR~1", kRoot, 1, kDos));
    v.At(30, File(r, u"f.txt", 29));
    // 31, a POSIX folder name with a backslash.
    v.At(31, Folder(r, u"back\\slash", kRoot, 1, kPosix));
    v.At(32, File(r, u"g.txt", 31));
    v.At(33, File(r, u"base.txt", kRoot));
    // 34, a folder under the folder 16 was: it and its files are orphans.
    v.At(34, Folder(r, u"lost", 16, 2));
    v.At(35, File(r, u"h.txt", 34));
    v.At(36, File(r, u"i.txt", 5000));  // past the end of the $MFT
    // 37, hard links in a folder used again, the POSIX folder and the freed one.
    v.At(37, RecordBuilder(r).FileName(u"j.txt", kWin32AndDos, kRoot).FileName(u"link.txt", kPosix, 16, {}, 2)
                 .FileName(u"link2.txt", kPosix, 31).FileName(u"link3.txt", kPosix, 18, {}, 3).Build());
    // What a walk through 16 with its right sequence number remembers does
    // not serve a reference with another.
    v.At(38, File(r, u"ok.txt", 16, 3));
    v.At(39, File(r, u"late.txt", 16, 2));
    return v.image();
}

struct Expected {
    const char* label;
    std::string recno;
    std::string report_path;
    std::vector<std::string> body_names;  // the record's line, then its $FILE_NAME lines
};

const std::string kFileName = " ($FILE_NAME)";

// The record's line and its one $FILE_NAME line.
std::vector<std::string> Lines(const std::string& name)
{
    return {name, name + kFileName};
}

std::vector<Expected> ExpectedPaths()
{
    return {
        {"parent used again", "17", "\\$OrphanFiles\\a.txt", Lines("/$OrphanFiles/a.txt")},
        {"parent deleted, not used again", "19", "?\\freed\\b.txt?",
         {"/freed/b.txt (deleted)", "/freed/b.txt" + kFileName + " (deleted)"}},
        {"parent now an extension record", "21", "\\$OrphanFiles\\c.txt", Lines("/$OrphanFiles/c.txt")},
        {"a loop of two folders", "24", "\\$OrphanFiles\\q\\p\\in-loop.txt", Lines("/$OrphanFiles/q/p/in-loop.txt")},
        {"a folder in the loop", "22", "\\$OrphanFiles\\q\\p", Lines("/$OrphanFiles/q/p")},
        {"parent fails to decode", "26", "\\$OrphanFiles\\d.txt", Lines("/$OrphanFiles/d.txt")},
        {"parent without a name", "28", "\\$OrphanFiles\\e.txt", Lines("/$OrphanFiles/e.txt")},
        {"parent with a DOS name only", "30", "\\$OrphanFiles\\f.txt", Lines("/$OrphanFiles/f.txt")},
        {"a DOS name only: the report's path as it always was", "29", "\\", Lines("/DOSDIR~1")},
        {"a backslash in a POSIX folder name", "32", "\\back\\slash\\g.txt", Lines("/back\\slash/g.txt")},
        {"a folder under a folder used again", "34", "\\$OrphanFiles\\lost", Lines("/$OrphanFiles/lost")},
        {"a file under an orphaned folder", "35", "\\$OrphanFiles\\lost\\h.txt", Lines("/$OrphanFiles/lost/h.txt")},
        {"parent past the end of the $MFT", "36", "\\$OrphanFiles\\i.txt", Lines("/$OrphanFiles/i.txt")},
        {"the folder used again, named with its sequence number now", "38", "\\reused\\ok.txt",
         Lines("/reused/ok.txt")},
        {"then with the old one again", "39", "\\$OrphanFiles\\late.txt", Lines("/$OrphanFiles/late.txt")},
        {"hard links: each folder checked with its own reference", "37", "\\j.txt",
         {"/j.txt", "/j.txt" + kFileName, "/$OrphanFiles/link.txt" + kFileName, "/back\\slash/link2.txt" + kFileName,
          "/freed/link3.txt" + kFileName}},
    };
}

std::vector<std::string> Fields(const std::string& line, char separator)
{
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == separator) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

class OrphanedPathsRunTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(OrphanedPathsRunTest, ReportAndBodyFilePlaceEachRecord)
{
    TempDir dir;
    BrokenChains(GetParam()).WriteTo(dir.File("in.mft"));
    const RunResult run = RunVarnethIn(dir, {"-b", "body.txt", "-o", "r.txt", "in.mft"});
    ASSERT_EQ(run.exit_status, 0) << run.out;
    // The walk through the broken folder says so, as it always has.
    EXPECT_NE(run.out.find("GetFullPathString() - Error creating MFTFileRecord."), std::string::npos);

    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : SplitLines(ReadFile(dir.File("r.txt")))) {
        rows.push_back(Fields(line, '\t'));
    }
    std::vector<std::vector<std::string>> body;
    for (const std::string& line : SplitLines(ReadFile(dir.File("body.txt")))) {
        body.push_back(Fields(line, '|'));
    }
    for (const Expected& e : ExpectedPaths()) {
        SCOPED_TRACE(e.label);
        std::vector<std::string> paths;
        for (const auto& row : rows) {
            if (row[0] == e.recno) {
                paths.push_back(row.at(12));  // FullPath
            }
        }
        EXPECT_EQ(paths, std::vector<std::string>{e.report_path});
        std::vector<std::string> names;
        for (const auto& line : body) {
            if (line.at(2) == e.recno || line.at(2).rfind(e.recno + "-", 0) == 0) {
                names.push_back(line.at(1));
            }
        }
        EXPECT_EQ(names, e.body_names);
    }
}

INSTANTIATE_TEST_SUITE_P(RecordSizes, OrphanedPathsRunTest, ::testing::Values(kRecordSize, kLargeRecordSize));

}  // namespace
