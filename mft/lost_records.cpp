#include "mft/lost_records.h"

#include <algorithm>

void LostRecords::Add(std::uint64_t first, std::uint64_t end, LostWhy why, const wxString& reason)
{
    if (!ranges_.empty()) {
        first = std::max(first, ranges_.back().records.end);
    }
    if (first >= end) {
        return;
    }
    count_ += end - first;
    if (!ranges_.empty()) {
        LostRange& last = ranges_.back();
        if (last.records.end == first && last.why == why && last.reason == reason) {
            last.records.end = end;
            return;
        }
    }
    ranges_.push_back(LostRange{RecordRange{first, end}, why, reason});
}

LostRecords LostRecords::Merged(const LostRecords& one, const LostRecords& other)
{
    std::vector<LostRange> all(one.ranges_);
    all.insert(all.end(), other.ranges_.begin(), other.ranges_.end());
    std::stable_sort(all.begin(), all.end(),
                     [](const LostRange& a, const LostRange& b) { return a.records.first < b.records.first; });
    LostRecords merged;
    for (const LostRange& range : all) {
        merged.Add(range.records.first, range.records.end, range.why, range.reason);
    }
    return merged;
}

std::vector<RecordRange> LostRecords::Stretches(std::uint64_t record_count) const
{
    std::vector<RecordRange> stretches;
    std::uint64_t next = 0;
    for (const LostRange& range : ranges_) {
        if (range.records.first >= record_count) {
            break;
        }
        if (range.records.first > next) {
            stretches.push_back(RecordRange{next, range.records.first});
        }
        next = range.records.end;
    }
    if (next < record_count) {
        stretches.push_back(RecordRange{next, record_count});
    }
    return stretches;
}
