// Hostile and damaged input, and outputs that cannot be written: every
// refusal is one clear message and exit status 255, nothing hangs, and no
// file but the report, its archive and the debug log is created or changed.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "support/cli_runner.h"
#include "support/record_builder.h"
#include "support/shrinking_input.h"
#include "support/volume_builder.h"

using namespace varneth_test;
namespace fs = std::filesystem;

namespace {

// What a directory holds, deep: kind, size, time of change and, for small
// files, the bytes.
struct EntryState {
    fs::file_type type = fs::file_type::none;
    std::uintmax_t size = 0;
    fs::file_time_type changed;
    std::string bytes;

    bool operator==(const EntryState& other) const
    {
        return type == other.type && size == other.size && changed == other.changed && bytes == other.bytes;
    }
};

using Snapshot = std::map<std::string, EntryState>;

Snapshot TakeSnapshot(const std::string& dir)
{
    Snapshot snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        EntryState state;
        state.type = entry.symlink_status().type();
        if (state.type == fs::file_type::regular) {
            state.size = entry.file_size();
            state.changed = entry.last_write_time();
            if (state.size < (1u << 20)) {
                state.bytes = ReadFile(entry.path().string());
            }
        }
        snapshot[entry.path().lexically_relative(dir).string()] = state;
    }
    return snapshot;
}

// Every entry but the allowed outputs is as it was, and none is new.
void ExpectOnlyOutputsChanged(const Snapshot& before, const Snapshot& after, const std::vector<std::string>& outputs,
                              const std::string& label)
{
    auto is_output = [&outputs](const std::string& name) {
        return std::find(outputs.begin(), outputs.end(), name) != outputs.end();
    };
    for (const auto& [name, state] : after) {
        if (is_output(name)) {
            continue;
        }
        const auto found = before.find(name);
        EXPECT_TRUE(found != before.end()) << label << ": created " << name;
        EXPECT_TRUE(found == before.end() || found->second == state) << label << ": changed " << name;
    }
    for (const auto& [name, state] : before) {
        EXPECT_TRUE(after.count(name) == 1 || is_output(name)) << label << ": removed " << name;
    }
}

Bytes ValidImage()
{
    return SystemRecords().bytes();
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    MftImage().AddRawBytes(bytes).WriteTo(path);
}

// A small volume in two pieces, disk.001 and disk.002.
void WriteSplitVolume(const TempDir& dir)
{
    const Bytes volume = SmallVolume(SystemRecords()).bytes();
    const auto half = static_cast<std::ptrdiff_t>(volume.size() / 2);
    WriteBytes(dir.File("disk.001"), Bytes(volume.begin(), volume.begin() + half));
    WriteBytes(dir.File("disk.002"), Bytes(volume.begin() + half, volume.end()));
}

// The system records and 24 never used as a volume: records 8 to 11 past its
// end, or all 40 marked in use by its bitmap (16 are).
void WritePiecedVolume(const TempDir& dir, const std::vector<RunSpec>& runs, const Bytes& bitmap = {})
{
    WriteBytes(dir.File("vol.img"), PiecedVolume(SystemRecords().AddZeroBlocks(24), {{0, 0, runs}}, bitmap));
}

void WriteEarlierReport(const TempDir& dir)
{
    WriteFile(dir.File("r.txt"), "the report of an earlier run\n");
}

enum class Channel { kLog, kPrinted, kStandardError };

struct BadInputCase {
    const char* label;
    std::function<void(const TempDir&)> prepare;  // beyond the valid in.mft
    std::vector<std::string> args;
    int exit_status;
    Channel channel;
    std::string message;  // a log text (stamp removed), or printed text
    std::vector<std::string> outputs;  // what the run may create or change
    long output_limit = -1;            // bytes any file may grow to
};

bool Shows(const RunResult& result, Channel channel, const std::string& message)
{
    switch (channel) {
    case Channel::kLog: {
        const std::vector<std::string> texts = LogTexts(result.out);
        return std::find(texts.begin(), texts.end(), message) != texts.end();
    }
    case Channel::kPrinted:
        return result.out.find(message) != std::string::npos;
    case Channel::kStandardError:
        return result.err.find(message) != std::string::npos;
    }
    return false;
}

const BadInputCase kCases[] = {
    {"input is a directory", [](const TempDir& d) { fs::create_directory(d.File("dir.mft")); },
     {"dir.mft"}, 255, Channel::kLog, "Error: dir.mft is a directory.", {}},
    {"input is a FIFO", [](const TempDir& d) { mkfifo(d.File("fifo.mft").c_str(), 0600); },
     {"fifo.mft"}, 255, Channel::kLog, "Error: fifo.mft is a FIFO: the $MFT must be a file or a device.", {}},
    {"input is a link to a FIFO",
     [](const TempDir& d) {
         mkfifo(d.File("fifo").c_str(), 0600);
         fs::create_symlink("fifo", d.File("link.mft"));
     },
     {"link.mft"}, 255, Channel::kLog, "Error: link.mft is a FIFO: the $MFT must be a file or a device.", {}},
    {"input is a device", [](const TempDir&) {},
     {"/dev/zero"}, 255, Channel::kPrinted, "$MFT file /dev/zero does not exist.\n", {}},
    {"input cut inside a record",
     [](const TempDir& d) {
         Bytes cut = ValidImage();
         cut.resize(10 * kRecordSize + kRecordSize / 2);
         WriteBytes(d.File("cut.mft"), cut);
     },
     {"cut.mft"}, 255, Channel::kLog, "Error: $MFT file cut.mft verification failed.", {}},
    {"input one byte past its last record",
     [](const TempDir& d) {
         Bytes longer = ValidImage();
         longer.push_back(0);
         WriteBytes(d.File("long.mft"), longer);
     },
     {"long.mft"}, 255, Channel::kLog, "Error: $MFT file long.mft verification failed.", {}},
    {"report to a full device", [](const TempDir&) {},
     {"-o", "/dev/full", "in.mft"}, 255, Channel::kLog,
     "Error: Error writing header row to /dev/full report file: No space left on device.", {}},
    {"report into a missing directory", [](const TempDir&) {},
     {"-o", "missing/r.txt", "in.mft"}, 255, Channel::kLog, "Error: Error opening missing/r.txt report file.", {}},
    {"report into a missing directory tree", [](const TempDir&) {},
     {"-o", "no/such/dir/r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Error opening no/such/dir/r.txt report file.", {}},
    {"report named after a directory", [](const TempDir& d) { fs::create_directory(d.File("outdir")); },
     {"-o", "outdir", "in.mft"}, 255, Channel::kLog, "Error: Output file outdir is a directory.", {}},
    {"report named after the input", [](const TempDir&) {},
     {"-o", "in.mft", "in.mft"}, 255, Channel::kLog, "Error: Output file in.mft is the $MFT input file.", {}},
    {"report named after the debug log", [](const TempDir&) {},
     {"-d", "-o", "varneth.log", "in.mft"}, 255, Channel::kLog,
     "Error: Output file varneth.log is the debug log file.", {"varneth.log"}},
    {"archive named after the input",
     [](const TempDir& d) { WriteBytes(d.File("r.txt.zip"), ValidImage()); },
     {"-z", "-o", "r.txt", "r.txt.zip"}, 255, Channel::kLog, "Error: Output file r.txt.zip is the $MFT input file.",
     {}},
    {"archive name taken by a directory", [](const TempDir& d) { fs::create_directory(d.File("r.txt.zip")); },
     {"-z", "-o", "r.txt", "in.mft"}, 255, Channel::kLog, "Error: Output file r.txt.zip is a directory.", {}},
    {"archive name leading to the debug log",
     [](const TempDir& d) { fs::create_symlink("varneth.log", d.File("r.txt.zip")); },
     {"-d", "-z", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Output file r.txt.zip is the debug log file.", {"varneth.log"}},
    // The body file is refused and fails as the report does. A write failure
    // keeps the report written so far; a refusal comes before any output is
    // emptied, and leaves the report of an earlier run as it was (or none).
    {"body file to a full device", [](const TempDir&) {},
     {"-b", "/dev/full", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Error writing to /dev/full body file: No space left on device.", {"r.txt"}},
    {"body file into a missing directory", [](const TempDir&) {},
     {"-b", "missing/t.body", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Error opening missing/t.body body file.", {}},
    {"body file into a missing directory, beside an earlier report", WriteEarlierReport,
     {"-b", "missing/t.body", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Error opening missing/t.body body file.", {}},
    {"body file named after the input", WriteEarlierReport,
     {"-b", "in.mft", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Output file in.mft is the $MFT input file.", {}},
    {"body file named after the report", WriteEarlierReport,
     {"-b", "./r.txt", "-o", "r.txt", "in.mft"}, 255, Channel::kLog, "Error: Output file ./r.txt is the report file.",
     {}},
    {"body file named after the debug log", WriteEarlierReport,
     {"-d", "-b", "varneth.log", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Output file varneth.log is the debug log file.", {"varneth.log"}},
    {"body file named after the archive still to be made", WriteEarlierReport,
     {"-z", "-b", "r.txt.zip", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Output file r.txt.zip is the archive file.", {}},
    // Every segment of an image is evidence, not only the one named.
    {"body file named after another segment of a split image", WriteSplitVolume,
     {"-b", "disk.002", "-o", "r.txt", "disk.001"}, 255, Channel::kLog,
     "Error: Output file disk.002 is a segment of the input image.", {}},
    // Links that lead nowhere yet lead to the file the run would write.
    {"body file through a link to the archive still to be made",
     [](const TempDir& d) { fs::create_symlink("r.txt.zip", d.File("lnk")); },
     {"-z", "-b", "lnk", "-o", "r.txt", "in.mft"}, 255, Channel::kLog, "Error: Output file lnk is the archive file.",
     {}},
    {"archive name leading to the body file still to be made",
     [](const TempDir& d) { fs::create_symlink("t.body", d.File("r.txt.zip")); },
     {"-z", "-b", "t.body", "-o", "r.txt", "in.mft"}, 255, Channel::kLog,
     "Error: Output file t.body is the archive file.", {}},
    // Records lost or missing: the outputs hold what was read, and the run fails.
    {"$MFT with records past the image's end", [](const TempDir& d) { WritePiecedVolume(d, {{8, 4}, {4, 500}, {28, 20}}); },
     {"-o", "r.txt", "vol.img"}, 255, Channel::kLog,
     "Error: Records 8 to 11 of the $MFT lie past the end of the image.", {"r.txt"}},
    {"$MFT with far fewer records in use than its bitmap marks",
     [](const TempDir& d) { WritePiecedVolume(d, {{40, 4}}, Bytes(5, 0xFF)); }, {"-o", "r.txt", "vol.img"}, 255,
     Channel::kLog,
     "Error: Volume at byte offset 0: the $MFT's bitmap marks 40 records in use, but only 16 FILE records in use "
     "were read: encrypted, wiped, or not where the boot sector says.",
     {"r.txt"}},
    // Not a refusal: the log lines go to standard error instead.
    {"debug log that cannot be created", [](const TempDir& d) { fs::create_directory(d.File("varneth.log")); },
     {"-d", "-v", "-o", "r.txt", "in.mft"}, 0, Channel::kStandardError, ": Processing $MFT file.\n", {"r.txt"}},
    // Standard output is a file that cannot grow: the name list is cut.
    {"name list to a full disk", [](const TempDir&) {},
     {"-f", "in.mft"}, 255, Channel::kStandardError, "Error writing to standard output.", {}, 50},
};

TEST(BadInput, RefusalsAreClearAndTouchNothingElse)
{
    for (const BadInputCase& c : kCases) {
        TempDir dir;
        WriteBytes(dir.File("in.mft"), ValidImage());
        c.prepare(dir);
        const Snapshot before = TakeSnapshot(dir.path());
        RunOptions options;
        options.timeout_seconds = 30;  // a run that hangs is killed and fails here
        options.file_size_limit = c.output_limit;
        const RunResult result = RunVarnethIn(dir, c.args, options);
        EXPECT_EQ(result.exit_status, c.exit_status) << c.label << "\n" << result.out << result.err;
        EXPECT_TRUE(Shows(result, c.channel, c.message)) << c.label << "\n" << result.out << result.err;
        if (c.exit_status != 0) {
            EXPECT_EQ(result.out.find("processing complete"), std::string::npos) << c.label;
        }
        ExpectOnlyOutputsChanged(before, TakeSnapshot(dir.path()), c.outputs, c.label);
    }
}

TEST(BadInput, AnInputThatShrinksWhileReadStopsTheRunWithAnError)
{
    constexpr std::size_t kRecords = 60000;
    constexpr std::size_t kKept = 40000;  // far past what the tool reads before the pipe stops it
    TempDir dir;
    WriteNamedRecords(dir.File("in.mft"), kRecords);
    ASSERT_EQ(mkfifo(dir.File("report.fifo").c_str(), 0600), 0);
    const Snapshot before = TakeSnapshot(dir.path());
    std::string report;
    std::thread reader([&] { report = ReadFifoAndShrinkInput(dir.File("report.fifo"), dir.File("in.mft"), kKept); });
    RunOptions options;
    options.timeout_seconds = 300;
    const RunResult result = RunVarnethIn(dir, {"-o", "report.fifo", "in.mft"}, options);
    reader.join();
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_EQ(LogTexts(result.out), std::vector<std::string>{"Error: Error reading $MFT file in.mft at record 40000."})
        << result.out;
    EXPECT_EQ(result.out.find("100% Complete"), std::string::npos);
    EXPECT_EQ(result.out.find("processing complete"), std::string::npos);
    // The partial report stays: the header and one row for every record read.
    EXPECT_EQ(SplitLines(report).size(), 1 + kKept);
    ExpectOnlyOutputsChanged(before, TakeSnapshot(dir.path()), {"report.fifo", "in.mft"}, "shrinking input");
}

// 8 GiB that take no room: five real records, then holes that read as zero
// blocks. The run reads them all without keeping them.
TEST(BadInput, AnEightGibSparseInputIsReadInBoundedTimeAndMemory)
{
    TempDir dir;
    const std::string input = dir.File("sparse.mft");
    Bytes image = ValidImage();
    image.resize(5 * kRecordSize);
    WriteBytes(input, image);
    if (truncate(input.c_str(), static_cast<off_t>(8ULL << 30)) != 0) {
        GTEST_SKIP() << "no sparse file of 8 GiB here";
    }
    const Snapshot before = TakeSnapshot(dir.path());
    RunOptions options;
    options.timeout_seconds = 600;
    const auto started = std::chrono::steady_clock::now();
    const RunResult result = RunVarnethIn(dir, {"-o", "r.txt", "sparse.mft"}, options);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(result.exit_status, 0) << result.out;
    EXPECT_NE(result.out.find("$MFT file contains 8,388,608 file records."), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Records processed: 8,388,608  (100% Complete)"), std::string::npos);
    EXPECT_EQ(SplitLines(ReadFile(dir.File("r.txt"))).size(), 6u);  // header and the five records
    EXPECT_LT(took, std::chrono::seconds(300));
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 512L * 1024) << "kilobytes at most, of the largest run so far";
    ExpectOnlyOutputsChanged(before, TakeSnapshot(dir.path()), {"r.txt"}, "sparse input");
}

}  // namespace
