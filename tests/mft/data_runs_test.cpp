// Run lists from hostile bytes: every pair that cannot be read or cannot
// lie on a volume ends the list with one warning, and the runs before it
// are kept.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mft/data_runs.h"
#include "support/record_builder.h"

namespace varneth_test {
namespace {

// "VCN+CLUSTERS@LCN", or "VCN+CLUSTERS sparse".
std::vector<std::string> RunTexts(const std::vector<DataRun>& runs)
{
    std::vector<std::string> texts;
    for (const DataRun& run : runs) {
        texts.push_back(std::to_string(run.vcn) + "+" + std::to_string(run.clusters) +
                        (run.sparse ? " sparse" : "@" + std::to_string(run.lcn)));
    }
    return texts;
}

constexpr std::uint64_t kFar = std::uint64_t{1} << 62;  // a last VCN that bounds nothing

TEST(DataRunsTest, DecodesPairsAndStopsAtTheFirstBadOne)
{
    const struct {
        const char* label;
        Bytes pairs;
        std::uint64_t start_vcn;
        std::uint64_t last_vcn;
        bool complete;
        std::vector<std::string> runs;
    } cases[] = {
        {"no runs", {0x00}, 0, kFar, true, {}},
        {"steps forward and back, fields of several bytes",
         {0x21, 0x10, 0x00, 0x01, 0x11, 0x08, 0xF0, 0x32, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00},
         0, kFar, true, {"0+16@256", "16+8@240", "24+256@65776"}},
        {"a sparse run leaves the next step from the run before it",
         {0x11, 0x04, 0x20, 0x01, 0x08, 0x11, 0x02, 0x04, 0x00}, 0, kFar, true,
         {"0+4@32", "4+8 sparse", "12+2@36"}},
        {"a piece that starts at a later VCN and ends on its last VCN", {0x11, 0x02, 0x05, 0x00}, 100, 101, true,
         {"100+2@5"}},
        {"8-byte fields at the largest cluster numbers",
         {0x88, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0x10, 0x00}, 0, kFar, true,
         {"0+1152921504606846976@1152921504606846976"}},
        {"no bytes at all", {}, 0, kFar, false, {}},
        {"no end mark", {0x11, 0x02, 0x05}, 0, kFar, false, {"0+2@5"}},
        {"a length field of no bytes", {0x11, 0x02, 0x05, 0x10, 0x05, 0x00}, 0, kFar, false, {"0+2@5"}},
        {"a length of zero clusters", {0x11, 0x02, 0x05, 0x11, 0x00, 0x05, 0x00}, 0, kFar, false, {"0+2@5"}},
        {"a length field of 9 bytes", {0x19, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00}, 0, kFar, false, {}},
        {"an offset field of 9 bytes", {0x91, 0x01, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x00}, 0, kFar, false, {}},
        {"fields past the end of the bytes", {0x11, 0x02, 0x05, 0x44, 0x01, 0x02}, 0, kFar, false, {"0+2@5"}},
        {"a step to below cluster 0", {0x11, 0x02, 0x05, 0x11, 0x01, 0xFA, 0x00}, 0, kFar, false, {"0+2@5"}},
        {"a length past 2^60 clusters", {0x08, 1, 0, 0, 0, 0, 0, 0, 0x10, 0x00}, 0, kFar, false, {}},
        {"a length with the top bit set", {0x08, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00}, 0, kFar, false, {}},
        {"a cluster past 2^60", {0x81, 0x01, 1, 0, 0, 0, 0, 0, 0, 0x10, 0x00}, 0, kFar, false, {}},
        {"the most negative step", {0x11, 0x01, 0x05, 0x81, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00}, 0, kFar, false,
         {"0+1@5"}},
        {"two steps that add up past 2^60",
         {0x81, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x10, 0x81, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x00}, 0, kFar, false,
         {"0+1@1152921504606846976"}},
        {"a start VCN past 2^60", {0x11, 0x01, 0x05, 0x00}, (std::uint64_t{1} << 60) + 1, kFar, false, {}},
        {"clusters past the last VCN", {0x11, 0x04, 0x05, 0x11, 0x01, 0x01, 0x00}, 0, 3, false, {"0+4@5"}},
        {"a last VCN before the start VCN", {0x11, 0x01, 0x05, 0x00}, 10, 9, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<DataRun> runs;
        Diagnostics diagnostics;
        EXPECT_EQ(DecodeDataRuns(ByteReader(c.pairs.data(), c.pairs.size()), c.start_vcn, c.last_vcn, runs,
                                 diagnostics),
                  c.complete);
        EXPECT_EQ(RunTexts(runs), c.runs);
        ASSERT_EQ(diagnostics.size(), c.complete ? 0u : 1u);
        if (!c.complete) {
            EXPECT_EQ(diagnostics[0].level, DiagnosticLevel::kWarning);
        }
    }
}

}  // namespace
}  // namespace varneth_test
