// Lost records gathered into ranges: the layout's and the reads' in one list
// in record order, and the stretches left to read between them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mft/lost_records.h"

namespace {

std::string Shown(const LostRecords& lost)
{
    std::string text;
    for (const LostRange& range : lost.ranges()) {
        text += std::to_string(range.records.first) + "-" + std::to_string(range.records.end) +
                (range.why == LostWhy::kUnreadable ? ":" + range.reason.ToStdString() : "") + " ";
    }
    return text + "(" + std::to_string(lost.count()) + ")";
}

TEST(LostRecords, RangesJoinWhereTheyMeetForOneCauseAndTheFirstClaimWins)
{
    LostRecords layout;
    layout.Add(10, 20, LostWhy::kPastImage);
    layout.Add(20, 25, LostWhy::kPastImage);   // goes on: one range
    layout.Add(22, 30, LostWhy::kNotLaidOut);  // from 25: the records before were claimed
    layout.Add(40, 40, LostWhy::kNotLaidOut);  // none
    LostRecords reads;
    for (const std::uint64_t recno : {5u, 6u, 8u, 31u}) {
        reads.Add(recno, recno + 1, LostWhy::kUnreadable, recno == 8 ? wxS("gone") : wxS("bad"));
    }
    EXPECT_EQ(Shown(layout), "10-25 25-30 (20)");
    const LostRecords all = LostRecords::Merged(layout, reads);
    EXPECT_EQ(Shown(all), "5-7:bad 8-9:gone 10-25 25-30 31-32:bad (24)");

    const struct {
        std::uint64_t record_count;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> stretches;
    } cases[] = {
        {40, {{0, 5}, {7, 8}, {9, 10}, {30, 31}, {32, 40}}},
        {28, {{0, 5}, {7, 8}, {9, 10}}},
        {3, {{0, 3}}},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> got;
        for (const RecordRange& stretch : all.Stretches(c.record_count)) {
            got.emplace_back(stretch.first, stretch.end);
        }
        EXPECT_EQ(got, c.stretches) << c.record_count;
    }
    EXPECT_EQ(LostRecords().Stretches(4).size(), 1u);
}

}  // namespace
