// The run from start to exit: input checks, console lines, the log, the
// record loop's progress lines and the refusals that protect the evidence.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "support/cli_runner.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

const std::string kBlanks27(27, ' ');

Bytes FileRecordWithName(const std::u16string& name)
{
    return RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).FileName(name, kWin32, 5).ResidentData(10).Build();
}

class RunSequenceTest : public ::testing::Test {
protected:
    RunResult Run(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return RunVarnethIn(dir_, args, options);
    }
    std::string Path(const std::string& name) const { return dir_.File(name); }

    TempDir dir_;
};

struct InputCase {
    const char* label;
    Bytes content;
    std::string expected_error;  // log text, after the stamp; empty: the run succeeds
};

Bytes FiveFileSignatures(std::size_t size, int bad_record = -1)
{
    Bytes bytes(size, 0);
    for (std::size_t record = 0; record < 5; ++record) {
        const std::size_t at = record * kRecordSize;
        if (at + 4 <= size && static_cast<int>(record) != bad_record) {
            bytes[at] = 'F', bytes[at + 1] = 'I', bytes[at + 2] = 'L', bytes[at + 3] = 'E';
        }
    }
    return bytes;
}

// Records of 4096 bytes, record bad_record without its signature, then extra zero bytes.
Bytes LargeRecords(std::size_t count, int bad_record = -1, std::size_t extra = 0)
{
    MftImage image(kLargeRecordSize);
    for (std::size_t record = 0; record < count; ++record) {
        Bytes bytes = RecordBuilder(kLargeRecordSize).Build();
        bytes[0] = static_cast<int>(record) == bad_record ? 'B' : 'F';
        image.Add(bytes);
    }
    return image.AddRawBytes(Bytes(extra, 0)).bytes();
}

TEST_F(RunSequenceTest, InputChecksRefuseWhatIsNotAnMftFile)
{
    // Record 0 says 4096 bytes but has the 1024-byte record's 3 update
    // sequence entries: read as 1024, and records 1 to 4 are inside it.
    Bytes three_entries = LargeRecords(5);
    PutLE(three_entries, 6, 3, 2);
    const InputCase cases[] = {
        {"5120 bytes, five signatures", FiveFileSignatures(5120), ""},
        {"4096 bytes", FiveFileSignatures(4096), "Error: File in.mft is not a valid $MFT file."},
        {"4100 bytes", FiveFileSignatures(4100), "Error: $MFT file in.mft verification failed."},
        {"empty", Bytes{}, "Error: File in.mft is not a valid $MFT file."},
        {"bad record 2", FiveFileSignatures(10240, 2), "Error: File in.mft is not a valid $MFT file."},
        {"5632 bytes", FiveFileSignatures(5632), "Error: $MFT file in.mft verification failed."},
        {"five 4096-byte records", LargeRecords(5), ""},
        {"4096-byte records, bad record 4", LargeRecords(8, 4), "Error: File in.mft is not a valid $MFT file."},
        {"4096-byte records and 1024 bytes", LargeRecords(5, -1, 1024), "Error: $MFT file in.mft verification failed."},
        {"4096 said, 3 entries", three_entries, "Error: File in.mft is not a valid $MFT file."},
    };
    for (const InputCase& c : cases) {
        MftImage().AddRawBytes(c.content).WriteTo(Path("in.mft"));
        std::filesystem::remove(Path("varneth_localhost.txt"));
        const RunResult result = Run({"in.mft"});
        const std::vector<std::string> logged = LogTexts(result.out);
        if (c.expected_error.empty()) {
            EXPECT_EQ(result.exit_status, 0) << c.label;
            EXPECT_TRUE(logged.empty()) << c.label << ": " << result.out;
            continue;
        }
        EXPECT_EQ(result.exit_status, 255) << c.label;
        ASSERT_EQ(logged.size(), 1u) << c.label << ": " << result.out;
        EXPECT_EQ(logged[0], c.expected_error) << c.label;
        // "not a valid" ends with a line feed of its own, then the log's.
        EXPECT_EQ(result.out.find(c.expected_error + "\n\n") != std::string::npos,
                  c.expected_error.find("not a valid") != std::string::npos) << c.label;
        EXPECT_FALSE(FileExists(Path("varneth_localhost.txt"))) << c.label;
    }
}

TEST_F(RunSequenceTest, SizeLinesProgressAndClosingLinesOfAFiveRecordFile)
{
    MftImage image;
    for (int i = 0; i < 5; ++i) {
        image.Add(FileRecordWithName(u"file" + std::u16string(1, u'0' + i) + u".txt"));
    }
    image.WriteTo(Path("in.mft"));
    const RunResult result = Run({"in.mft"});
    EXPECT_EQ(result.exit_status, 0);
    const std::string expected = "$MFT file is 5,120 bytes.\n"
                                 "$MFT file contains 5 file records.\n"
                                 "Records processed: 0  (0% Complete)" + kBlanks27 + "\r" +
                                 "Records processed: 5  (100% Complete)" + kBlanks27 + "\n" +
                                 "$MFT file processing complete.\n"
                                 "Output filename is varneth_localhost.txt\n";
    EXPECT_EQ(result.out, expected);
}

TEST_F(RunSequenceTest, DefaultLogShowsOnlyErrorsVerboseShowsTheRunInOrder)
{
    SystemRecords().AddZeroBlocks(1).WriteTo(Path("in.mft"));
    EXPECT_TRUE(LogTexts(Run({"in.mft"}).out).empty());

    const RunResult verbose = Run({"-v", "in.mft"});
    EXPECT_EQ(verbose.exit_status, 0);
    const std::vector<std::string> expected = {
        "Starting Varneth application.",
        "Processing commandline arguments.",
        "Creating logging objects.",
        "Opening and verifying $MFT input file.",
        "Opening output file varneth_localhost.txt.",
        "Writing header row to report file",
        "Processing $MFT file.",
        "$MFT file record has an invalid MAGIC number.",
        "$MFT dump complete.",
        "Shutting down Varneth application.",
    };
    EXPECT_EQ(LogTexts(verbose.out), expected);
    // Printed lines and log lines share one stream in call order.
    const std::size_t verifying = verbose.out.find("Opening and verifying");
    const std::size_t size_line = verbose.out.find("$MFT file is 17,408 bytes.");
    const std::size_t opening = verbose.out.find("Opening output file");
    const std::size_t complete = verbose.out.find("$MFT file processing complete.");
    const std::size_t shutting = verbose.out.find("Shutting down");
    EXPECT_LT(verifying, size_line);
    EXPECT_LT(size_line, opening);
    EXPECT_LT(shutting, complete);
    EXPECT_NE(complete, std::string::npos);
    const std::regex line_format("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}: Starting Varneth application.\n");
    EXPECT_TRUE(std::regex_search(verbose.out, line_format));
}

TEST_F(RunSequenceTest, DebugLogHoldsTheShownLinesFromVerificationOn)
{
    SystemRecords().WriteTo(Path("in.mft"));
    ASSERT_EQ(Run({"-d", "in.mft"}).exit_status, 0);
    ASSERT_TRUE(FileExists(Path("varneth.log")));
    EXPECT_EQ(ReadFile(Path("varneth.log")), "");

    const RunResult verbose = Run({"-d", "-v", "in.mft"});
    ASSERT_EQ(verbose.exit_status, 0);
    const std::vector<std::string> in_file = LogTexts(ReadFile(Path("varneth.log")));
    std::vector<std::string> on_console = LogTexts(verbose.out);
    ASSERT_GE(on_console.size(), 3u);
    on_console.erase(on_console.begin(), on_console.begin() + 3);
    EXPECT_EQ(in_file, on_console);
    ASSERT_FALSE(in_file.empty());
    EXPECT_EQ(in_file.front(), "Opening and verifying $MFT input file.");

    // An error reaches the file without -v too.
    MftImage().AddRawBytes(FiveFileSignatures(4096)).WriteTo(Path("bad.mft"));
    EXPECT_EQ(Run({"-d", "bad.mft"}).exit_status, 255);
    const std::vector<std::string> errors = LogTexts(ReadFile(Path("varneth.log")));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error: File bad.mft is not a valid $MFT file.");
}

TEST_F(RunSequenceTest, SkippedRecordsKeepTheirNumbersAndGetNoProgressLine)
{
    // Records 0 to 4 carry only the signature (next attribute id 0): they are
    // skipped silently, so record 0 prints no progress line.
    MftImage()
        .AddRawBytes(FiveFileSignatures(5 * kRecordSize))
        .Add(FileRecordWithName(u"a.txt"))
        .WriteTo(Path("in.mft"));
    const RunResult result = Run({"in.mft"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out.find("Records processed: 0 "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Records processed: 6  (100% Complete)"), std::string::npos);
}

// An output that names the input would destroy the evidence.
TEST_F(RunSequenceTest, OutputNamingTheInputIsRefusedAndTheInputKept)
{
    SystemRecords().WriteTo(Path("in.mft"));
    const std::string original = ReadFile(Path("in.mft"));
    std::filesystem::create_symlink(Path("in.mft"), Path("link.mft"));
    std::filesystem::create_hard_link(Path("in.mft"), Path("hard.mft"));
    for (const std::string& output : {std::string("in.mft"), Path("in.mft"), std::string("link.mft"), std::string("hard.mft")}) {
        const RunResult result = Run({"-o", output, "in.mft"});
        EXPECT_EQ(result.exit_status, 255) << output;
        const std::vector<std::string> logged = LogTexts(result.out);
        ASSERT_EQ(logged.size(), 1u) << output;
        EXPECT_EQ(logged[0], "Error: Output file " + output + " is the $MFT input file.");
        EXPECT_EQ(ReadFile(Path("in.mft")), original) << output;
    }

    std::filesystem::rename(Path("in.mft"), Path("varneth.log"));
    const RunResult debug = Run({"-d", "varneth.log"});
    EXPECT_EQ(debug.exit_status, 255);
    EXPECT_EQ(LogTexts(debug.out), std::vector<std::string>{"Error: Output file varneth.log is the $MFT input file."});
    EXPECT_EQ(ReadFile(Path("varneth.log")), original);
}

// A disk or a partition may be the evidence: no output goes to one. The
// node made here has a number without a driver, so a run that did write
// would fail there, not on a real disk.
TEST_F(RunSequenceTest, OutputToABlockDeviceIsRefused)
{
    SystemRecords().WriteTo(Path("in.mft"));
    if (mknod(Path("disk").c_str(), S_IFBLK | 0600, makedev(240, 0)) != 0) {
        GTEST_SKIP() << "making a device node needs root";
    }
    std::filesystem::create_symlink(Path("disk"), Path("link"));
    for (const std::vector<std::string>& switches :
         {std::vector<std::string>{"-o", "disk"}, {"-o", "r.txt", "-b", "link"}, {"-o", "r.txt", "-j", "disk"}}) {
        std::vector<std::string> args = switches;
        args.push_back("in.mft");
        const RunResult result = Run(args);
        EXPECT_EQ(result.exit_status, 255) << switches.back();
        EXPECT_EQ(LogTexts(result.out),
                  std::vector<std::string>{"Error: Output file " + switches.back() + " is a block device."});
        EXPECT_FALSE(std::filesystem::exists(Path("r.txt")));
    }
}

// The header fits, the rows do not: the failure comes at the end. (A report
// that cannot take even the header is among the bad inputs.)
TEST_F(RunSequenceTest, AReportThatCannotBeWrittenFailsTheRun)
{
    SystemRecords().WriteTo(Path("in.mft"));
    RunOptions limited;
    limited.file_size_limit = 700;
    const RunResult cut = Run({"-o", "cut.txt", "in.mft"}, limited);
    EXPECT_EQ(cut.exit_status, 255);
    EXPECT_NE(cut.out.find("Error: Error writing to cut.txt report file: File too large."), std::string::npos)
        << cut.out;
    EXPECT_EQ(cut.out.find("processing complete"), std::string::npos);
    EXPECT_TRUE(FileExists(Path("cut.txt")));  // the partial report stays
}

TEST_F(RunSequenceTest, ReportsToDevicesThatCannotSyncStillSucceed)
{
    SystemRecords().WriteTo(Path("in.mft"));
    const RunResult result = Run({"-o", "/dev/null", "in.mft"});
    EXPECT_EQ(result.exit_status, 0) << result.out;
    EXPECT_TRUE(LogTexts(result.out).empty()) << result.out;
}

// The body file comes on top: the report and the console are those of a run
// without it.
TEST_F(RunSequenceTest, ABodyFileLeavesTheReportAndTheConsoleAsTheyAre)
{
    SystemRecords().WriteTo(Path("in.mft"));
    const RunResult plain = Run({"-v", "-o", "plain.txt", "in.mft"});
    const RunResult with_body = Run({"-v", "-o", "with.txt", "--bodyfile", "t.body", "in.mft"});
    EXPECT_EQ(with_body.exit_status, 0) << with_body.out;
    EXPECT_EQ(ReadFile(Path("with.txt")), ReadFile(Path("plain.txt")));
    const std::regex stamp("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}: ");
    std::string expected = std::regex_replace(plain.out, stamp, "");
    expected.replace(expected.find("plain.txt"), 9, "with.txt");  // "Opening output file ..."
    expected.insert(expected.find("Processing $MFT file."), "Opening body file t.body.\n");
    expected.replace(expected.rfind("plain.txt"), 9, "with.txt");  // "Output filename is ..."
    EXPECT_EQ(std::regex_replace(with_body.out, stamp, ""), expected);
    const std::vector<std::string> lines = SplitLines(ReadFile(Path("t.body")));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().substr(0, 11), "0|/$MFT|0-1");
    for (const std::string& line : lines) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '|'), 10) << line;
    }
}

// A record whose update sequence does not match fails decoding before its
// header is read; the header's bytes are not covered by it, so its JSON line
// and the summary still say what the header says.
TEST_F(RunSequenceTest, AJsonLineOfARecordThatFailsDecodingKeepsItsHeader)
{
    MftImage image;
    for (int i = 0; i < 5; ++i) {
        Bytes record =
            RecordBuilder().SequenceNumber(7).StandardInformation(Times::All(kSomeFiletime)).FileName(u"f", kWin32, 5).Build();
        if (i == 3) {
            record[510] ^= 0xFF;  // the first sector's end is no longer the update sequence number
        }
        image.Add(record);
    }
    image.WriteTo(Path("in.mft"));
    const RunResult result = Run({"-j", "out.jsonl", "-o", "r.txt", "in.mft"});
    EXPECT_EQ(result.exit_status, 0) << result.out;
    const std::vector<std::string> lines = SplitLines(ReadFile(Path("out.jsonl")));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3].rfind("{\"record\":3,\"sequence\":7,\"in_use\":true,", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find("\"decoded\":false"), std::string::npos) << lines[3];
    EXPECT_NE(result.out.find("5 FILE records: 5 in use, 0 not in use, 0 extension records, 1 failed decoding;"),
              std::string::npos)
        << result.out;
}

// Damaged at 3, 4, 5 (at 0: the signature written again): said, counted, a row only after a name.
TEST_F(RunSequenceTest, ADamagedRecordIsSaidAndCountedAndKeepsWhatCameBeforeTheBreak)
{
    MftImage image;
    for (std::size_t at : {0, 0, 0, 20, 0x38 + 4, 0xF8 + 4}) {
        Bytes record = RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).FileName(u"f", kWin32, 5)
                           .ResidentData(4).Build();
        PutLE(record, at, at == 20 ? 0x3FF : at == 0 ? 0x454C4946 : 0x7FFFFFFF, at == 20 ? 2 : 4);
        image.Add(record);
    }
    image.WriteTo(Path("in.mft"));
    const RunResult result = Run({"-j", "out.jsonl", "-o", "r.txt", "in.mft"});
    const std::vector<std::string> lines = SplitLines(ReadFile(Path("out.jsonl")));
    ASSERT_EQ(lines.size(), 6u);
    const std::string error = "Error: Record 3 is damaged: its first attribute, at offset 1023 (0x3FF), lies past "
                              "the end of the record; none is read.";
    EXPECT_NE(result.out.find(error), std::string::npos) << result.out;
    EXPECT_NE(lines[3].find(error), std::string::npos) << lines[3];
    for (std::size_t recno : {2, 3, 4, 5}) {
        EXPECT_EQ(lines[recno].find("\"decoded\":false,") != std::string::npos, recno > 2) << lines[recno];
    }
    EXPECT_NE(result.out.find("6 FILE records: 6 in use, 0 not in use, 0 extension records, 3 failed decoding;"),
              std::string::npos) << result.out;
    std::string row_records;
    for (const std::string& row : SplitLines(ReadFile(Path("r.txt")))) {
        row_records += row.substr(0, row.find('\t')) + " ";
    }
    EXPECT_EQ(row_records, "RecNo 0 1 2 5 ");
}

TEST_F(RunSequenceTest, ZipReplacesTheReportByItsArchive)
{
    SystemRecords().WriteTo(Path("in.mft"));
    const RunResult result = Run({"-z", "-o", "r.txt", "in.mft"});
    EXPECT_EQ(result.exit_status, 0) << result.out;
    EXPECT_NE(result.out.find("Zipping output file.\n"), std::string::npos);
    EXPECT_NE(result.out.find("\nOutput filename is r.txt.zip\n"), std::string::npos) << result.out;
    EXPECT_FALSE(FileExists(Path("r.txt")));
    ASSERT_TRUE(FileExists(Path("r.txt.zip")));
    EXPECT_EQ(ReadFile(Path("r.txt.zip")).substr(0, 4), std::string("PK\x03\x04", 4));
}

// (A failed pack naming the report it keeps: the failure matrix's "archive write".)
TEST_F(RunSequenceTest, AnArchiveNameLeadingToTheReportIsRefusedBeforeTheRun)
{
    SystemRecords().WriteTo(Path("in.mft"));
    WriteFile(Path("r.txt"), "the report of an earlier run\n");
    std::filesystem::create_symlink("r.txt", Path("r.txt.zip"));
    const RunResult looped = Run({"-z", "-o", "r.txt", "in.mft"});
    EXPECT_EQ(looped.exit_status, 255);
    EXPECT_EQ(LogTexts(looped.out), std::vector<std::string>{"Error: Output file r.txt.zip is the report file."});
    EXPECT_EQ(ReadFile(Path("r.txt")), "the report of an earlier run\n");
}

// An append-only folder: files can be made and written in it, but not
// removed, not even by root. The flag is taken off again when this goes.
class AppendOnlyFolder {
public:
    explicit AppendOnlyFolder(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_DIRECTORY))
    {
        set_ = fd_ >= 0 && ioctl(fd_, FS_IOC_GETFLAGS, &flags_) == 0 &&
               ioctl(fd_, FS_IOC_SETFLAGS, &(flags_ |= FS_APPEND_FL)) == 0;
    }
    ~AppendOnlyFolder()
    {
        if (set_) {
            flags_ &= ~FS_APPEND_FL;
            ioctl(fd_, FS_IOC_SETFLAGS, &flags_);
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    AppendOnlyFolder(const AppendOnlyFolder&) = delete;
    AppendOnlyFolder& operator=(const AppendOnlyFolder&) = delete;
    bool set() const { return set_; }

private:
    int fd_;
    int flags_ = 0;
    bool set_ = false;
};

TEST_F(RunSequenceTest, AReportLeftBesideItsArchiveFailsTheRun)
{
    SystemRecords().WriteTo(Path("in.mft"));
    std::filesystem::create_directory(Path("out"));
    const AppendOnlyFolder folder(Path("out"));
    if (!folder.set()) {
        GTEST_SKIP() << "the file system takes no append-only flag";
    }
    const RunResult result = Run({"-z", "-o", "out/r.txt", "in.mft"});
    EXPECT_EQ(result.exit_status, 255);
    const std::vector<std::string> logged = LogTexts(result.out);
    ASSERT_FALSE(logged.empty()) << result.out;
    EXPECT_EQ(logged.back(), "Error: Unable to remove out/r.txt after zipping it.");
    EXPECT_NE(result.out.find("\nOutput filename is out/r.txt.zip\n"), std::string::npos) << result.out;
    EXPECT_EQ(SplitLines(ReadFile(Path("out/r.txt"))).size(), 14u);
    EXPECT_EQ(ReadFile(Path("out/r.txt.zip")).substr(0, 4), std::string("PK\x03\x04", 4));
}

}  // namespace
