// Every output a run can make, met by every failure part-way through it: the
// run ends with its error lines and exit status 255, keeps what it wrote up
// to the failure (whole lines, nothing lost), leaves no archive that could
// pass for good, and neither crashes nor hangs on its way out. Each failure
// had been tried alone; together with -z, an early return once flushed the
// report into an archive draft already gone.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_runner.h"
#include "support/shrinking_input.h"

using namespace varneth_test;
namespace fs = std::filesystem;

namespace {

// Where a shrinking input is cut: past what the tool can read before the
// report's FIFO stops it (the workers' batches in hand, and a buffer).
constexpr std::size_t kKept = 24000;
// Past three buffered megabytes, inside a line.
constexpr long kSizeLimit = (3L << 20) + 777;
const std::string kLongHost(1000, 'h');  // a column of every report row

struct Input {
    const char* name;
    std::size_t records;
    NamedRecordsLayout layout;
    bool long_host;  // report rows many times the body lines
};

// Files of short names under the root, many and few (the archive is copied
// whole from its draft: the few do). Files under two folders of long names:
// body lines outgrow report rows.
const Input kRootFiles{"root.mft", 25000, {20, 0}, true};
const Input kFewRootFiles{"few.mft", 2000, {20, 0}, true};
const Input kDeepFiles{"deep.mft", 8000, {20, 2}, false};

enum class Failure { kReportWrite, kBodyWrite, kJsonWrite, kArchiveWrite, kInputShort };

struct FailurePoint {
    const char* label;
    Failure failure;
    const Input& input;
    std::vector<std::string> errors;  // every log text, in order
};

const FailurePoint kFailurePoints[] = {
    {"report write", Failure::kReportWrite, kRootFiles, {"Error: Error writing to r.txt report file: File too large."}},
    {"body write", Failure::kBodyWrite, kDeepFiles, {"Error: Error writing to body.txt body file: File too large."}},
    // Its lines outgrow the body file's and the report's on these files.
    {"JSON write", Failure::kJsonWrite, kDeepFiles, {"Error: Error writing to j.jsonl JSON file: File too large."}},
    {"archive write", Failure::kArchiveWrite, kFewRootFiles,
     {"Error: ZipOutputFile() - zip_filename could not be written: No space left on device."}},
    {"input short", Failure::kInputShort, kRootFiles, {"Error: Error reading $MFT file in.mft at record 24000."}},
};

struct Outputs {
    const char* label;
    bool zip;
    bool body;
    bool json;
};

const Outputs kOutputs[] = {{"report", false, false, false}, {"-z", true, false, false},
                            {"-b", false, true, false},      {"-z -b", true, true, false},
                            {"-j", false, false, true},      {"-z -b -j", true, true, true}};
// A good run's: -z would replace the report with its archive.
const Outputs kEveryFile = {"", false, true, true};
const char* const kFormats[] = {"", "-s", "-l"};

bool Applies(const FailurePoint& point, const Outputs& outputs)
{
    // The JSON lines would reach the size limit before the body file.
    return (point.failure != Failure::kBodyWrite || (outputs.body && !outputs.json)) &&
           (point.failure != Failure::kJsonWrite || outputs.json) &&
           (point.failure != Failure::kArchiveWrite || outputs.zip);
}

std::vector<std::string> Arguments(const std::string& format, const Outputs& outputs, bool long_host)
{
    std::vector<std::string> args;
    if (!format.empty()) {
        args.push_back(format);
    }
    if (long_host) {
        args.insert(args.end(), {"-m", kLongHost});
    }
    if (outputs.zip) {
        args.push_back("-z");
    }
    if (outputs.body) {
        args.insert(args.end(), {"-b", "body.txt"});
    }
    if (outputs.json) {
        args.insert(args.end(), {"-j", "j.jsonl"});
    }
    args.insert(args.end(), {"--summary", "-o", "r.txt", "in.mft"});
    return args;
}

// The lines of each output, in the order of Kind.
enum Kind { kReport, kBody, kJson, kKinds };

struct Written {
    std::string text[kKinds];
};

const char* const kFileNames[kKinds] = {"r.txt", "body.txt", "j.jsonl"};

// What a run without failure writes, once for each input and format.
const Written& GoodRun(std::map<std::string, Written>& good_runs, const TempDir& inputs, const Input& input,
                       const std::string& format)
{
    const std::string key = std::string(input.name) + " " + format;
    const auto found = good_runs.find(key);
    if (found != good_runs.end()) {
        return found->second;
    }
    TempDir dir;
    fs::create_hard_link(inputs.File(input.name), dir.File("in.mft"));
    const RunResult result = RunVarnethIn(dir, Arguments(format, kEveryFile, input.long_host));
    EXPECT_EQ(result.exit_status, 0) << key << "\n" << result.out;
    Written& written = good_runs[key];
    for (int kind = 0; kind < kKinds; ++kind) {
        written.text[kind] = ReadFile(dir.File(kFileNames[kind]));
    }
    return written;
}

struct Row {
    RunResult result;
    Written written;
    std::set<std::string> files;  // in the run's directory afterwards
};

// Runs the tool with its failure set up in the directory that holds in.mft.
Row RunWithFailure(const TempDir& dir, const FailurePoint& point, const std::vector<std::string>& args)
{
    RunOptions options;
    options.timeout_seconds = 60;  // a run that hangs on its way out is killed, and fails
    Row row;
    if (point.failure == Failure::kReportWrite || point.failure == Failure::kBodyWrite ||
        point.failure == Failure::kJsonWrite) {
        options.file_size_limit = kSizeLimit;
    } else if (point.failure == Failure::kArchiveWrite) {
        fs::create_symlink("/dev/full", dir.File("r.txt.zip"));
    }
    if (point.failure == Failure::kInputShort) {
        EXPECT_EQ(mkfifo(dir.File("r.txt").c_str(), 0600), 0);
        std::thread reader(
            [&] { row.written.text[kReport] = ReadFifoAndShrinkInput(dir.File("r.txt"), dir.File("in.mft"), kKept); });
        row.result = RunVarnethIn(dir, args, options);
        reader.join();
    } else {
        row.result = RunVarnethIn(dir, args, options);
        row.written.text[kReport] = ReadFile(dir.File("r.txt"));
    }
    for (int kind = kBody; kind < kKinds; ++kind) {
        row.written.text[kind] = ReadFile(dir.File(kFileNames[kind]));
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        row.files.insert(entry.path().filename().string());
    }
    return row;
}

// The record of a report row (its first column), of a body line (the first
// part of its third field, "recno-type-id") or of a JSON line (its first
// member, "record").
std::uint64_t RecnoOf(const std::string& line, Kind kind)
{
    std::size_t start = kind == kJson ? line.find(':') : 0;
    for (int field = 0; kind == kBody && field < 2 && start != std::string::npos; ++field) {
        start = line.find('|', start);
        start = start == std::string::npos ? start : start + 1;
    }
    return start == std::string::npos ? 0 : std::strtoull(line.c_str() + start + (kind == kJson), nullptr, 10);
}

std::uint64_t LastWholeLineRecno(const std::string& text, Kind kind)
{
    const std::size_t end = text.rfind('\n');
    if (end == std::string::npos || end == 0) {
        return 0;
    }
    const std::size_t before = text.rfind('\n', end - 1);
    const std::size_t start = before == std::string::npos ? 0 : before + 1;
    return RecnoOf(text.substr(start, end - start), kind);
}

// The lines of the records before recno (and the header), as written.
std::string LinesBefore(const std::string& text, Kind kind, std::uint64_t recno)
{
    std::string kept;
    for (const std::string& line : SplitLines(text)) {
        if (RecnoOf(line, kind) >= recno) {
            break;
        }
        kept += line + "\n";
    }
    return kept;
}

bool StartsWith(const std::string& good, const std::string& text)
{
    return good.compare(0, text.size(), text) == 0;
}

// The file that failed holds every byte up to the size limit, as a good run
// writes them; the others hold whole lines reaching at least the same record.
void ExpectWritten(const std::string& label, const FailurePoint& point, const Outputs& outputs, const Row& row,
                   const Written& good)
{
    const bool asked[kKinds] = {true, outputs.body, outputs.json};
    const Kind failed = point.failure == Failure::kBodyWrite ? kBody
                        : point.failure == Failure::kJsonWrite ? kJson
                                                               : kReport;
    const std::string& cut = row.written.text[failed];
    for (int k = 0; k < kKinds; ++k) {
        const Kind kind = static_cast<Kind>(k);
        const std::string what = label + ": " + kFileNames[kind];
        const std::string& text = row.written.text[kind];
        const std::string& whole = good.text[kind];
        if (!asked[kind]) {
            EXPECT_EQ(text, "") << what;
            continue;
        }
        switch (point.failure) {
        case Failure::kReportWrite:
        case Failure::kBodyWrite:
        case Failure::kJsonWrite:
            EXPECT_TRUE(StartsWith(whole, text)) << what << ": not what a good run writes";
            if (kind == failed) {
                EXPECT_GT(whole.size(), static_cast<std::size_t>(kSizeLimit) + (1u << 20)) << what << ": fails at the end";
                EXPECT_EQ(text.size(), static_cast<std::size_t>(kSizeLimit)) << what;
            } else {
                EXPECT_TRUE(!text.empty() && text.back() == '\n') << what << ": ends inside a line";
                EXPECT_GE(LastWholeLineRecno(text, kind), LastWholeLineRecno(cut, failed)) << what;
            }
            break;
        case Failure::kArchiveWrite:
            EXPECT_TRUE(text == whole) << what << ": incomplete";
            break;
        case Failure::kInputShort:
            EXPECT_TRUE(text == LinesBefore(whole, kind, kKept)) << what;
            break;
        }
    }
}

void ExpectStoppedCleanly(const std::string& label, const FailurePoint& point, const Outputs& outputs, const Row& row)
{
    const RunResult& result = row.result;
    EXPECT_EQ(result.exit_status, 255) << label << " (-1: killed)\n" << result.out << result.err;
    EXPECT_EQ(result.err, "") << label;  // a sanitizer's report, if any
    EXPECT_EQ(LogTexts(result.out), point.errors) << label << "\n" << result.out;
    // The summary counts the records read up to the failure and no FILE record beyond them (every
    // record of these inputs is one).
    EXPECT_TRUE(std::regex_search(result.out, std::regex("Summary: ([\\d,]+) records read, \\1 FILE records")))
        << label << "\n" << result.out;
    // Only the zip step fails after the run; its report stays the output.
    const bool after_run = point.failure == Failure::kArchiveWrite;
    EXPECT_EQ(result.out.find("$MFT file processing complete.\nOutput filename is r.txt\n") != std::string::npos,
              after_run)
        << label << "\n" << result.out;
    std::set<std::string> files{"in.mft", "r.txt"};
    if (outputs.body) {
        files.insert("body.txt");
    }
    if (outputs.json) {
        files.insert("j.jsonl");
    }
    if (after_run) {
        files.insert("r.txt.zip");  // still the link to the full device
    }
    EXPECT_EQ(row.files, files) << label;
}

TEST(FailureMatrix, EveryOutputStopsCleanlyAtEveryFailurePoint)
{
    TempDir inputs;
    for (const Input* input : {&kRootFiles, &kFewRootFiles, &kDeepFiles}) {
        WriteNamedRecords(inputs.File(input->name), input->records, input->layout);
    }
    std::map<std::string, Written> good_runs;
    for (const FailurePoint& point : kFailurePoints) {
        const std::string input = inputs.File(point.input.name);
        for (const Outputs& outputs : kOutputs) {
            if (!Applies(point, outputs)) {
                continue;
            }
            for (const std::string format : kFormats) {
                const std::string label = std::string(point.label) + " with " + outputs.label + " " +
                                          (format.empty() ? "(default format)" : format);
                const Written& good = GoodRun(good_runs, inputs, point.input, format);
                TempDir dir;
                if (point.failure == Failure::kInputShort) {
                    fs::copy_file(input, dir.File("in.mft"));  // cut while read
                } else {
                    fs::create_hard_link(input, dir.File("in.mft"));
                }
                const Row row = RunWithFailure(dir, point, Arguments(format, outputs, point.input.long_host));
                ExpectStoppedCleanly(label, point, outputs, row);
                ExpectWritten(label, point, outputs, row, good);
                if (point.failure == Failure::kArchiveWrite) {
                    const fs::path archive = dir.File("r.txt.zip");
                    EXPECT_TRUE(fs::is_symlink(archive) && fs::read_symlink(archive) == "/dev/full") << label;
                }
            }
        }
    }
}

// A signal is a failure point the user chooses: the run stops within a
// second, says at which record, and keeps the whole lines of the records
// before it in every output, with no archive. The report is a FIFO read
// here, so the run cannot have ended before the signal.
TEST(FailureMatrix, ASignalStopsTheRunWithinASecondKeepingWholeLines)
{
    struct SignalCase {
        int number;
        const char* name;
        int exit_status;
        Outputs outputs;
        const char* format;
    };
    const SignalCase cases[] = {{SIGINT, "SIGINT", 130, {"-z -b", true, true, false}, ""},
                                {SIGTERM, "SIGTERM", 143, {"-j", false, false, true}, "-l"}};
    TempDir inputs;
    WriteNamedRecords(inputs.File(kDeepFiles.name), 40000, kDeepFiles.layout);
    std::map<std::string, Written> good_runs;
    for (const SignalCase& c : cases) {
        const std::string label = std::string(c.name) + " with " + c.outputs.label;
        const Written& good = GoodRun(good_runs, inputs, kDeepFiles, c.format);
        TempDir dir;
        fs::create_hard_link(inputs.File(kDeepFiles.name), dir.File("in.mft"));
        ASSERT_EQ(mkfifo(dir.File("r.txt").c_str(), 0600), 0);
        std::atomic<int> pid{0};
        std::chrono::steady_clock::time_point signalled;
        std::string report;
        std::thread reader([&] {
            const int fd = open(dir.File("r.txt").c_str(), O_RDONLY);
            char block[65536];
            for (ssize_t got; fd >= 0 && (got = read(fd, block, sizeof block)) > 0;) {
                report.append(block, static_cast<std::size_t>(got));
                if (report.size() >= (2u << 20) && signalled == std::chrono::steady_clock::time_point()) {
                    while (pid.load() == 0) {
                        std::this_thread::yield();
                    }
                    signalled = std::chrono::steady_clock::now();
                    kill(pid.load(), c.number);
                }
            }
            close(fd);
        });
        RunOptions options;
        options.timeout_seconds = 60;
        options.started = [&pid](int started) { pid = started; };
        const RunResult result = RunVarnethIn(dir, Arguments(c.format, c.outputs, false), options);
        const auto ended = std::chrono::steady_clock::now();
        reader.join();
        EXPECT_EQ(result.exit_status, c.exit_status) << label << "\n" << result.out << result.err;
        EXPECT_LT(ended - signalled, std::chrono::seconds(1)) << label << ": signalled after 2 MiB of the report";
        const std::vector<std::string> logged = LogTexts(result.out);
        std::smatch stop;
        const std::regex line(std::string("Error: Interrupted by ") + c.name +
                              " at record ([0-9]+): the outputs are incomplete\\.");
        ASSERT_TRUE(logged.size() == 1 && std::regex_match(logged[0], stop, line)) << label << "\n" << result.out;
        const std::uint64_t recno = std::stoull(stop[1].str());
        EXPECT_GT(recno, 0u) << label;
        EXPECT_LT(recno, 40000u) << label;
        EXPECT_TRUE(report == LinesBefore(good.text[kReport], kReport, recno)) << label << ": report";
        EXPECT_TRUE(ReadFile(dir.File("body.txt")) == (c.outputs.body ? LinesBefore(good.text[kBody], kBody, recno) : ""))
            << label << ": body file";
        EXPECT_TRUE(ReadFile(dir.File("j.jsonl")) == (c.outputs.json ? LinesBefore(good.text[kJson], kJson, recno) : ""))
            << label << ": JSON lines";
        EXPECT_FALSE(FileExists(dir.File("r.txt.zip"))) << label;
    }
}

}  // namespace
