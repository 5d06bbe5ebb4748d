#ifndef VARNETH_MFT_RECORD_SEQUENCE_H
#define VARNETH_MFT_RECORD_SEQUENCE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mft/record_source.h"

// The records of a source in order from record 0, many per read call. A
// piece that comes back short or fails is dropped and its records are read
// again one by one, so that the end of the input and read errors (with their
// line) show at exactly the record where single reads show them.
class RecordSequence {
public:
    RecordSequence(const RecordSource& source, std::uint64_t record_count);

    // From here on, the record_count records from first_recno (the storage
    // is kept).
    void Restart(std::uint64_t first_recno, std::uint64_t record_count);

    // The next record, in place in the piece read or read on its own into a
    // buffer of its own; valid until the next call. Null when its read
    // returns anything but the whole record (a failed read says so in
    // diagnostics).
    unsigned char* Next(Diagnostics& diagnostics);

    // How the read of the record Next gave as null came back.
    RecordSource::ReadResult failure() const { return failure_; }
    const RecordSource& source() const { return source_; }

private:
    bool FillPiece();

    RecordSource source_;
    std::uint64_t next_recno_ = 0;
    std::uint64_t records_left_;  // not yet read in pieces
    std::vector<unsigned char> piece_;  // up to 512 KiB, as the reads need
    std::vector<unsigned char> single_;
    std::size_t next_ = 0;  // in the piece
    std::size_t filled_ = 0;
    bool one_by_one_ = false;
    RecordSource::ReadResult failure_ = RecordSource::ReadResult::kWhole;
};

#endif
