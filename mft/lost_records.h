#ifndef VARNETH_MFT_LOST_RECORDS_H
#define VARNETH_MFT_LOST_RECORDS_H

// The records of an $MFT that could not be read, as ranges in record order:
// those its layout puts where the image has no bytes (known before any read),
// and those whose read failed. The run reads every other record, and names
// these.

#include <cstdint>
#include <vector>

#include <wx/string.h>

struct RecordRange {
    std::uint64_t first = 0;
    std::uint64_t end = 0;  // after the last
};

enum class LostWhy : std::uint8_t {
    kPastImage,   // its bytes lie past the end of the image
    kNotLaidOut,  // no run of the $MFT's run list holds it (a gap, or a sparse run)
    kUnreadable,  // its read failed; reason says why
};

struct LostRange {
    RecordRange records;
    LostWhy why = LostWhy::kUnreadable;
    wxString reason;  // kUnreadable only
};

class LostRecords {
public:
    // Records from first to end, lost for why; each call starts at or after
    // the end of the one before. A range that goes on from the last, for the
    // same cause, lengthens it.
    void Add(std::uint64_t first, std::uint64_t end, LostWhy why, const wxString& reason = wxString());

    // The ranges of both lists, in record order (none overlap).
    static LostRecords Merged(const LostRecords& one, const LostRecords& other);

    // The stretches of records from 0 to record_count that no range holds.
    std::vector<RecordRange> Stretches(std::uint64_t record_count) const;

    const std::vector<LostRange>& ranges() const { return ranges_; }
    bool empty() const { return ranges_.empty(); }
    std::uint64_t count() const { return count_; }

private:
    std::vector<LostRange> ranges_;
    std::uint64_t count_ = 0;
};

#endif
