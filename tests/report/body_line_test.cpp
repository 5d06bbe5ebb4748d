// The body file lines of decoded records, and the body form of names and
// folders.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/file.h>

#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "mft/record_source.h"
#include "path/folder_paths.h"
#include "path/walked_path.h"
#include "report/body_line.h"
#include "report/body_name.h"
#include "support/cli_runner.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

// 2012-12-14 23:06:40, 2009-10-14 13:20:00, 2013-04-09 16:53:20 UTC; and 1939.
constexpr std::uint64_t kFiletime2012 = kSomeFiletime;
constexpr std::uint64_t kFiletime2009 = 129000000000000000ULL;
constexpr std::uint64_t kFiletime2013 = 130100000000000000ULL;
constexpr std::uint64_t kFiletime1939 = 110000000000000000ULL;
const std::string k2012 = "1355526400";
const std::string k2009 = "1255526400";
const std::string k2013 = "1365526400";

class Lines final : public ReportLineSink {
public:
    std::string& Bytes() override { return bytes_; }
    bool LineDone() override
    {
        lines.push_back(bytes_);
        bytes_.clear();
        return true;
    }
    std::vector<std::string> lines;

private:
    std::string bytes_;
};

using End = WalkedPath::End;

// A walk's result as the path walk gives it.
WalkedPath Walked(End end, const std::vector<std::string>& names)
{
    WalkedPath walked;
    walked.Start(end);
    for (const std::string& name : names) {
        walked.AppendName(name);
    }
    walked.Close();
    return walked;
}

// A volume with the folders that names outside a record's path are placed
// in: 30 "\dir" and 31 "\other|%".
class FolderVolume {
public:
    FolderVolume()
    {
        MftImage image = SystemRecords();
        image.AddZeroBlocks(30 - image.RecordCount());
        image.Add(RecordBuilder().Directory(true).FileName(u"dir", kWin32AndDos, 5).Build());
        image.Add(RecordBuilder().Directory(true).FileName(u"other|%", kWin32AndDos, 5).Build());
        image.WriteTo(path_);
        file_.Open(path_);
    }
    RecordSource Records() const { return RecordSource(file_.fd()); }

private:
    TempDir dir_;
    const std::string path_ = dir_.File("folders.mft");
    wxFile file_;
};

struct BodyCase {
    const char* label;
    Bytes record;
    std::uint64_t recno;
    WalkedPath path;  // as the path walk gives it
    std::vector<std::string> lines;
};

std::string TimeFields(const std::string& access, const std::string& mod, const std::string& mft_mod,
                  const std::string& create)
{
    return "|" + access + "|" + mod + "|" + mft_mod + "|" + create;
}

const std::string kSiTimes = TimeFields(k2013, k2009, k2012, k2009);
const std::string kFnTimes = TimeFields(k2012, k2012, k2012, k2012);
const Times kSi{kFiletime2009, kFiletime2009, kFiletime2012, kFiletime2013};  // create, mod, mft_mod, access

std::vector<BodyCase> Cases()
{
    const Times fn = Times::All(kFiletime2012);
    return {
        {"file: names escaped, DOS name, stream with a control character",
         RecordBuilder().StandardInformation(kSi).FileName(u"a|b%c.txt", kWin32, 30, fn)
             .FileName(u"AB~1.TXT", kDos, 30, Times::All(kFiletime2009)).ResidentData(5)
             .ResidentData(3, u"s\x01").Build(),
         40, Walked(End::kRoot, {"dir", "a|b%c.txt"}),
         {"0|/dir/a%7Cb%25c.txt|40-128-3|r/rrwxrwxrwx|0|0|5" + kSiTimes,
          "0|/dir/a%7Cb%25c.txt ($FILE_NAME)|40-48-1|r/rrwxrwxrwx|0|0|5" + kFnTimes,
          "0|/dir/AB~1.TXT ($FILE_NAME)|40-48-2|r/rrwxrwxrwx|0|0|5" + TimeFields(k2009, k2009, k2009, k2009),
          "0|/dir/a%7Cb%25c.txt:s\xEF\xBF\xBD|40-128-4|r/rrwxrwxrwx|0|0|3" + kSiTimes}},
        {"deleted directory: its index root, times before 1970 and missing",
         RecordBuilder().InUse(false).Directory(true)
             .StandardInformation({kFiletime1939, 0, kFiletime1939, 0}).FileName(u"old", kWin32, 30, fn)
             .ResidentAttribute(kTypeIndexRoot, Bytes(32, 0), u"$I30").Build(),
         50, Walked(End::kRoot, {"dir", "old"}),
         {"0|/dir/old (deleted)|50-144-2|d/drwxrwxrwx|0|0|0|0|0|0|0",
          "0|/dir/old ($FILE_NAME) (deleted)|50-48-1|d/drwxrwxrwx|0|0|0" + kFnTimes}},
        {"orphaned walk, hard link in another folder, no $DATA",
         RecordBuilder().StandardInformation(kSi).FileName(u"x", kPosix, 29, fn).FileName(u"y", kPosix, 31, fn)
             .Build(),
         60, Walked(End::kOrphan, {"x"}),
         {"0|/$OrphanFiles/x|60|r/rrwxrwxrwx|0|0|0" + kSiTimes,
          "0|/$OrphanFiles/x ($FILE_NAME)|60-48-1|r/rrwxrwxrwx|0|0|0" + kFnTimes,
          "0|/other%7C%25/y ($FILE_NAME)|60-48-2|r/rrwxrwxrwx|0|0|0" + kFnTimes}},
        {"the root",
         RecordBuilder().Directory(true).StandardInformation(kSi).FileName(u".", kWin32AndDos, 5, fn)
             .ResidentAttribute(kTypeIndexRoot, Bytes(32, 0), u"$I30").Build(),
         5, Walked(End::kRoot, {}),
         {"0|/|5-144-2|d/drwxrwxrwx|0|0|0" + kSiTimes, "0|/ ($FILE_NAME)|5-48-1|d/drwxrwxrwx|0|0|0" + kFnTimes}},
        {"only a DOS name: its folder from a walk of its own",
         RecordBuilder().StandardInformation(kSi).FileName(u"DOSONLY.TXT", kDos, 30, fn)
             .NonResidentData(70000, 73728).Build(),
         70, Walked(End::kRoot, {}),
         {"0|/dir/DOSONLY.TXT|70-128-2|r/rrwxrwxrwx|0|0|70000" + kSiTimes,
          "0|/dir/DOSONLY.TXT ($FILE_NAME)|70-48-1|r/rrwxrwxrwx|0|0|70000" + kFnTimes}},
        // Two walks of one text through one parent: only the names tell the
        // folders apart.
        {"a folder name with a backslash",
         RecordBuilder().StandardInformation(kSi).FileName(u"x", kPosix, 80, fn).Build(),
         81, Walked(End::kRoot, {"a\\b", "c", "x"}),
         {"0|/a\\b/c/x|81|r/rrwxrwxrwx|0|0|0" + kSiTimes,
          "0|/a\\b/c/x ($FILE_NAME)|81-48-1|r/rrwxrwxrwx|0|0|0" + kFnTimes}},
        {"the same text cut elsewhere",
         RecordBuilder().StandardInformation(kSi).FileName(u"x", kPosix, 80, fn).Build(),
         82, Walked(End::kRoot, {"a", "b\\c", "x"}),
         {"0|/a/b\\c/x|82|r/rrwxrwxrwx|0|0|0" + kSiTimes,
          "0|/a/b\\c/x ($FILE_NAME)|82-48-1|r/rrwxrwxrwx|0|0|0" + kFnTimes}},
    };
}

TEST(BodyLines, EachRecordGivesItsOwnFileNameAndStreamLines)
{
    Diagnostics diagnostics;
    const FolderVolume volume;
    FolderPaths folders(volume.Records());
    BodyLineBuilder builder;  // one for all: nothing may leak from record to record
    for (const BodyCase& c : Cases()) {
        Bytes bytes = c.record;
        MFTFileRecord record;
        ASSERT_EQ(CreateMFTFileRecord(bytes.data(), &record, c.recno, diagnostics), 0) << c.label;
        Lines sink;
        EXPECT_TRUE(builder.AppendRecordLines(sink, record, c.path, folders)) << c.label;
        std::vector<std::string> expected;
        for (const std::string& line : c.lines) {
            expected.push_back(line + "\n");
        }
        EXPECT_EQ(sink.lines, expected) << c.label;
    }
}

TEST(BodyLines, FoldersComeFromThePathWalksNames)
{
    const struct {
        WalkedPath walked;
        std::size_t names;  // those of the folder
        std::string folder;
    } cases[] = {
        {Walked(End::kRoot, {}), 0, "/"},
        {Walked(End::kRoot, {"a", "b c"}), 2, "/a/b c/"},
        {Walked(End::kRoot, {"a", "b", "own"}), 2, "/a/b/"},
        {Walked(End::kOrphan, {"a", "b"}), 2, "/$OrphanFiles/a/b/"},
        {Walked(End::kOrphan, {}), 0, "/$OrphanFiles/"},
        {Walked(End::kOrphan, {"own"}), 0, "/$OrphanFiles/"},
        {Walked(End::kOrphan, {"\\lead"}), 1, "/$OrphanFiles/\\lead/"},
        {Walked(End::kRoot, {"p|q%r", "c\x01" "d"}), 2, "/p%7Cq%25r/c\xEF\xBF\xBD" "d/"},
    };
    for (const auto& c : cases) {
        std::string out = "0|";
        AppendBodyFolder(out, c.walked, c.names);
        EXPECT_EQ(out, "0|" + c.folder) << c.walked.text();
    }
}

}  // namespace
