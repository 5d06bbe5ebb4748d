#include "mft/record_sequence.h"

namespace {

constexpr std::size_t kPieceBytes = std::size_t{512} << 10;

}  // namespace

RecordSequence::RecordSequence(const RecordSource& source, std::uint64_t record_count)
    : source_(source),
      records_left_(record_count),
      single_(source.record_size())
{
}

void RecordSequence::Restart(std::uint64_t first_recno, std::uint64_t record_count)
{
    next_recno_ = first_recno;
    records_left_ = record_count;
    next_ = filled_ = 0;
    one_by_one_ = false;
}

unsigned char* RecordSequence::Next(Diagnostics& diagnostics)
{
    if (next_ == filled_ && !one_by_one_ && !FillPiece()) {
        one_by_one_ = true;
    }
    const std::size_t size = source_.record_size();
    if (one_by_one_) {
        failure_ = source_.Read(next_recno_++, single_.data(), size, diagnostics);
        return failure_ == RecordSource::ReadResult::kWhole ? single_.data() : nullptr;
    }
    unsigned char* record = piece_.data() + next_;
    next_ += size;
    ++next_recno_;
    return record;
}

// The read says nothing, so a piece that fails leaves no trace: its records
// are read again one by one.
bool RecordSequence::FillPiece()
{
    const std::uint64_t per_piece = kPieceBytes / source_.record_size();
    const std::uint64_t records = records_left_ < per_piece ? records_left_ : per_piece;
    const std::size_t wanted = static_cast<std::size_t>(records) * source_.record_size();
    next_ = filled_ = 0;
    // The piece grows to what a read needs: a small input zeroes no half
    // megabyte that no read fills.
    if (piece_.size() < wanted) {
        piece_.resize(wanted);
    }
    if (records == 0 || source_.ReadQuietly(next_recno_, piece_.data(), wanted) != RecordSource::ReadResult::kWhole) {
        return false;
    }
    filled_ = wanted;
    records_left_ -= records;
    return true;
}
