// The record loop's threads: whatever the workers keep reaches the calling
// thread once, in input order, with the bytes made of it and the lines its
// work gave, logged there in the same order; a caller that stops early is
// never left waiting on the workers. (A short input ending the batches at the
// record that could not be read: the failure matrix's "input short".)

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <cerrno>
#include <string>
#include <vector>

#include <wx/file.h>

#include "pipeline/record_pipeline.h"
#include "base/log_message.h"
#include "support/cli_runner.h"
#include "support/log_capture.h"

using namespace varneth_test;

namespace {

constexpr std::size_t kRecordBytes = 1024;

// A file of `records` records, each starting with its own number.
std::string NumberedRecords(const TempDir& dir, std::uint64_t records)
{
    std::string bytes(records * kRecordBytes, '\0');
    for (std::uint64_t recno = 0; recno < records; ++recno) {
        bytes[recno * kRecordBytes] = static_cast<char>(recno & 0xFF);
        bytes[recno * kRecordBytes + 1] = static_cast<char>((recno >> 8) & 0xFF);
    }
    const std::string path = dir.File("records.bin");
    WriteFile(path, bytes);
    return path;
}

std::uint64_t NumberIn(const unsigned char* block)
{
    return block[0] | (std::uint64_t{block[1]} << 8);
}

// A worker made of a function.
class TestWorker final : public RecordWorker {
public:
    using Function = std::function<bool(unsigned char*, RecordOutput&, RecordBatch&)>;
    explicit TestWorker(Function function) : function_(std::move(function)) {}
    bool Make(unsigned char* block, RecordOutput& output, RecordBatch& batch) override
    {
        return function_(block, output, batch);
    }

private:
    Function function_;
};

RecordPipeline::WorkerMaker Workers(const TestWorker::Function& function)
{
    return [function]() { return std::make_unique<TestWorker>(function); };
}

struct Seen {
    std::vector<std::uint64_t> kept;
    std::string report;  // the kept records' bytes, each checked to be its own
};

std::string RecordText(std::uint64_t recno)
{
    return "record " + std::to_string(recno) + "\n";
}

Seen TakeAll(RecordPipeline& pipeline)
{
    Seen seen;
    while (const RecordBatch* batch = pipeline.Next()) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < batch->size(); ++i) {
            const RecordOutput& output = (*batch)[i];
            LogDiagnostics(output.diagnostics);
            const std::string bytes = batch->report.substr(start, output.report_end - start);
            start = output.report_end;
            EXPECT_FALSE(output.read_failed) << output.recno;
            seen.kept.push_back(output.recno);
            EXPECT_EQ(bytes, output.named_base ? RecordText(output.recno) : "") << output.recno;
            seen.report += bytes;
        }
    }
    return seen;
}

TEST(RecordPipeline, HandsOverKeptAndLoggingRecordsInOrderWithTheirBytesAndLines)
{
    TempDir dir;
    const std::uint64_t records = 3000;  // several batches, the last one part-full
    wxFile file(NumberedRecords(dir, records));
    varneth_test::LogCapture log;
    log_message.clear();
    RecordPipeline pipeline(RecordSource(file.fd()), records,
                            Workers([](unsigned char* block, RecordOutput& output, RecordBatch& batch) {
                                const std::uint64_t number = NumberIn(block);
                                if (number != (output.recno & 0xFFFF)) {
                                    output.diagnostics.Error(wxS("wrong block"));
                                }
                                if (output.recno % 11 == 0) {
                                    output.diagnostics.Warning(wxString::Format(
                                        wxS("warning %llu"), static_cast<unsigned long long>(output.recno)));
                                }
                                if (output.recno % 500 == 3) {
                                    output.diagnostics.SystemError(
                                        wxString::Format(wxS("system %llu"),
                                                         static_cast<unsigned long long>(output.recno)),
                                        ENOENT);
                                }
                                output.named_base = output.recno % 7 == 0;
                                if (output.named_base) {
                                    batch.report += RecordText(output.recno);
                                }
                                return output.named_base;
                            }));
    const Seen seen = TakeAll(pipeline);

    std::vector<std::uint64_t> expected;
    std::string expected_report;
    std::vector<wxString> expected_lines;
    for (std::uint64_t recno = 0; recno < records; ++recno) {
        if (recno % 7 == 0 || recno % 11 == 0 || recno % 500 == 3) {
            expected.push_back(recno);
        }
        if (recno % 7 == 0) {
            expected_report += RecordText(recno);
        }
        if (recno % 11 == 0) {
            expected_lines.push_back(wxString::Format(wxS("warning %llu"), static_cast<unsigned long long>(recno)));
        }
        if (recno % 500 == 3) {
            expected_lines.push_back(wxString::Format(wxS("system %llu"), static_cast<unsigned long long>(recno)));
        }
    }
    EXPECT_EQ(seen.kept, expected);
    EXPECT_EQ(seen.report, expected_report);
    const std::vector<wxString> texts = log.Texts();
    ASSERT_EQ(texts.size(), expected_lines.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(texts[i].StartsWith(expected_lines[i])) << texts[i];
        // The system's error text follows once, as the worker's line had it.
        const int error_texts = texts[i].StartsWith(wxS("system")) ? 1 : 0;
        EXPECT_EQ(texts[i].Freq('(') == 1 && texts[i].Find(wxS(" (error 2: ")) != wxNOT_FOUND ? 1 : 0, error_texts)
            << texts[i];
    }
    // The last error or warning of the workers is the calling thread's last one too.
    EXPECT_EQ(log_message, wxS("warning 2992"));
}

// Zero records in memory whose reads fail where they touch records 700 to 702.
class FailingImage final : public ImageReader {
public:
    std::uint64_t Size() const override { return 3000 * kRecordBytes; }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length, Diagnostics& lines) const override
    {
        if (offset < 703 * kRecordBytes && offset + length > 700 * kRecordBytes + 10) {
            lines.SystemError(wxS("can't read"), EIO);
            return -1;
        }
        std::fill(out, out + length, 0);
        return static_cast<long long>(length);
    }
};

// A failed read in an image loses its records only: the rest are read, in order.
TEST(RecordPipeline, ARecordWhoseReadFailsIsLostAndTheRestAreRead)
{
    RecordPipeline pipeline(RecordSource(std::make_shared<FailingImage>(), kRecordBytes), 3000,
                            Workers([](unsigned char*, RecordOutput&, RecordBatch&) { return true; }));
    std::vector<std::uint64_t> lost;
    std::uint64_t read = 0;
    while (const RecordBatch* batch = pipeline.Next()) {
        for (std::size_t i = 0; i < batch->size(); ++i) {
            const RecordOutput& output = (*batch)[i];
            EXPECT_TRUE(!output.read_failed || output.diagnostics[0].system_error == EIO);
            output.read_failed ? lost.push_back(output.recno) : static_cast<void>(++read);
        }
    }
    EXPECT_EQ(lost, (std::vector<std::uint64_t>{700, 701, 702}));
    EXPECT_EQ(read, 2997u);
}

TEST(RecordPipeline, ACallerThatStopsEarlyStopsTheWorker)
{
    TempDir dir;
    const std::string path = dir.File("sparse.bin");
    const std::uint64_t records = 1'000'000;  // a sparse gigabyte: read quickly, never all of it
    {
        wxFile file(path, wxFile::write);
        ASSERT_EQ(ftruncate(file.fd(), static_cast<off_t>(records * kRecordBytes)), 0);
    }
    wxFile file(path);
    std::atomic<std::uint64_t> decoded{0};
    {
        RecordPipeline pipeline(RecordSource(file.fd()), records,
                                Workers([&decoded](unsigned char*, RecordOutput&, RecordBatch&) {
                                    ++decoded;
                                    return true;
                                }));
        ASSERT_NE(pipeline.Next(), nullptr);
    }  // gone here: the threads have been stopped and joined
    const std::uint64_t when_stopped = decoded;
    EXPECT_LT(when_stopped, records / 10);
    EXPECT_EQ(decoded, when_stopped);
}

}  // namespace

namespace {

// The sanitizers' allocators hold freed memory back for a while, so the
// process grows under them whatever the threads leave.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitizedAllocator = true;
#else
constexpr bool kSanitizedAllocator = false;
#endif
#else
constexpr bool kSanitizedAllocator = false;
#endif

long ResidentKiB()
{
    long kib = -1;
    for (const std::string& line : SplitLines(ReadFile("/proc/self/status"))) {
        if (line.rfind("VmRSS:", 0) == 0) {
            kib = std::stol(line.substr(6));
        }
    }
    return kib;
}

class CountingLog : public wxLog {
public:
    CountingLog() : previous_(wxLog::SetActiveTarget(this)) {}
    ~CountingLog() override { wxLog::SetActiveTarget(previous_); }
    std::size_t count = 0;

protected:
    void DoLogRecord(wxLogLevel, const wxString&, const wxLogRecordInfo&) override { ++count; }

private:
    wxLog* previous_;
};

// A process that runs the tool many times (the whole-run fuzz target does)
// must not keep anything of each run's threads: the logging library keeps
// state for every thread that logs through it, which other threads than its
// own never free.
TEST(RecordPipeline, ManyRunsWhoseThreadsLogDoNotGrowTheProcess)
{
    TempDir dir;
    wxFile file(NumberedRecords(dir, 4));
    CountingLog log;
    const auto run = [&file] {
        RecordPipeline pipeline(RecordSource(file.fd()), 4,
                                Workers([](unsigned char*, RecordOutput& output, RecordBatch&) {
                                    output.diagnostics.Warning(wxS("decoded"));
                                    output.diagnostics.Warning(wxS("made"));
                                    return true;
                                }));
        while (const RecordBatch* batch = pipeline.Next()) {
            for (std::size_t i = 0; i < batch->size(); ++i) {
                LogDiagnostics((*batch)[i].diagnostics);
            }
        }
    };
    for (int i = 0; i < 200; ++i) {
        run();
    }
    const long before = ResidentKiB();
    for (int i = 0; i < 2000; ++i) {
        run();
    }
    // Some 6 MB when each thread's share stays behind.
    if (!kSanitizedAllocator) {
        EXPECT_LT(ResidentKiB() - before, 2048);
    }
    EXPECT_EQ(log.count, 2200u * 8);
}

}  // namespace
