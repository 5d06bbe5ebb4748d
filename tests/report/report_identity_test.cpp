// The tool, end to end, against the reference run (reference/reference_run.h):
// the report must be the same bytes, the log lines the same lines in the
// same order, the listings the same lines, nothing on standard error. The
// tool's one row builder, kept for the whole run, must make what a fresh
// one makes for each record.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/mft_generator.h"
#include "path/adversarial_mft.h"
#include "reference/reference_run.h"
#include "support/cli_runner.h"
#include "support/record_builder.h"

namespace varneth_test {
namespace {

bool Has(const std::vector<std::string>& switches, const std::string& wanted)
{
    return std::find(switches.begin(), switches.end(), wanted) != switches.end();
}

class ReportIdentityTest : public ::testing::Test {
protected:
    void ExpectSameRun(const std::string& mft, const std::vector<std::string>& switches, ReferenceMode mode)
    {
        SCOPED_TRACE(mft + ", switches " + std::to_string(switches.size()) + ", mode " +
                     std::to_string(static_cast<int>(mode)));
        std::vector<std::string> args = switches;
        if (mode == ReferenceMode::kReport) {
            args.insert(args.end(), {"-v", "-o", dir_.File("report.txt")});
        }
        args.push_back(mft);
        const RunResult tool = RunVarnethBinary(args);
        ASSERT_EQ(tool.exit_status, 0) << tool.err;
        EXPECT_EQ(tool.err, "");

        const ReportFormat format = Has(switches, "-l")   ? ReportFormat::kLong
                                    : Has(switches, "-s") ? ReportFormat::kShort
                                                          : ReportFormat::kDefault;
        const ReferenceOutput expected = RunReference(mft, mode, format);
        if (mode == ReferenceMode::kReport) {
            EXPECT_TRUE(ReadFile(dir_.File("report.txt")) == expected.report) << "the reports differ";
        }
        const std::vector<std::string> events = ConsoleEvents(tool.out, mode != ReferenceMode::kReport);
        EXPECT_EQ(events.size(), expected.events.size());
        for (std::size_t i = 0; i < events.size() && i < expected.events.size(); ++i) {
            ASSERT_EQ(events[i], expected.events[i]) << "event " << i;
        }
    }

    void ExpectSameRunsInEveryMode(const std::string& mft)
    {
        ExpectSameRun(mft, {}, ReferenceMode::kReport);
        ExpectSameRun(mft, {"-l"}, ReferenceMode::kReport);
        ExpectSameRun(mft, {"-s"}, ReferenceMode::kReport);
        ExpectSameRun(mft, {"-f"}, ReferenceMode::kFilenames);
        ExpectSameRun(mft, {"-a"}, ReferenceMode::kStreams);
    }

    TempDir dir_;
};

TEST_F(ReportIdentityTest, AdversarialMft)
{
    const std::string mft = dir_.File("adversarial.mft");
    AdversarialMft().WriteTo(mft);
    ExpectSameRunsInEveryMode(mft);
}

// The same records over several batches, which the run's worker threads
// make side by side: every record's lines, those of its decoding included,
// come out once per walk that meets them, in record order.
TEST_F(ReportIdentityTest, AdversarialRecordsInEveryBatch)
{
    const Bytes once = AdversarialMft().bytes();
    MftImage image;
    for (int copy = 0; copy < 8; ++copy) {
        image.AddRawBytes(once);
    }
    const std::string mft = dir_.File("adversarial-batches.mft");
    image.WriteTo(mft);
    ExpectSameRunsInEveryMode(mft);
}

TEST_F(ReportIdentityTest, GeneratedMft)
{
    const std::string mft = dir_.File("generated.mft");
    ASSERT_TRUE(varneth_bench::MftGenerator(30000, 11).WriteTo(mft));
    ExpectSameRunsInEveryMode(mft);
}

}  // namespace
}  // namespace varneth_test
