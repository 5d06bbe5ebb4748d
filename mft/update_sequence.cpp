#include "mft/update_sequence.h"

#include <cstdint>

#include "mft/record_header.h"

namespace {

constexpr std::size_t kMaxStrides = kMftLargeRecordSize / kMftSectorSize;

// The array holds the update sequence number and one saved word per stride.
// An offset that would put them (partly) outside the record (past 1018 in a
// 1024-byte record, past 4078 in a 4096-byte one) is refused like offset 0,
// with the same message, before anything is read from it.
std::uint64_t MaxUsaOffset(std::size_t strides)
{
    return strides * kMftSectorSize - 2 * (1 + std::uint64_t{strides});
}

// The last word of stride i (from 0).
std::uint64_t StrideEnd(std::size_t i)
{
    return (i + 1) * kMftSectorSize - 2;
}

bool StrideEndsCarry(ByteWriter& record, std::size_t strides, std::uint16_t update_sequence_number)
{
    for (std::size_t i = 0; i < strides; ++i) {
        if (record.U16At(StrideEnd(i)) != update_sequence_number) {
            return false;
        }
    }
    return true;
}

}  // namespace

int WriteFixupValues(unsigned char* mft_rec_buf, Diagnostics& diagnostics, std::size_t record_size)
{
    if (mft_rec_buf == nullptr) {
        diagnostics.Error("WriteFixupValues() - mft_rec_buf is NULL.");
        return -1;
    }
    const std::size_t strides = record_size / kMftSectorSize;
    if (record_size % kMftSectorSize != 0 || strides < 2 || strides > kMaxStrides) {
        diagnostics.Error("WriteFixupValues() - record size is not valid.");
        return -1;
    }
    ByteWriter record = RecordWriter(mft_rec_buf, record_size);

    const std::uint16_t usa_offset = record.U16At(record_header_field::kUsaOffset);
    if (usa_offset == 0 || usa_offset > MaxUsaOffset(strides)) {
        diagnostics.Error("WriteFixupValues() - signature offset to fixup array is not valid.");
        return -1;
    }
    // The count is checked but otherwise unused: the record size sets the strides.
    if (record.U16At(record_header_field::kUsaCount) == 0) {
        diagnostics.Error("WriteFixupValues() - signature count is not valid.");
        return -1;
    }
    const std::uint16_t update_sequence_number = record.U16At(usa_offset);
    if (update_sequence_number == 0) {
        diagnostics.Error("WriteFixupValues() - signature value is not correct.");
        return -1;
    }
    if (!StrideEndsCarry(record, strides, update_sequence_number)) {
        diagnostics.Error("WriteFixupValues() - fixup signatures do not match.");
        return -1;
    }

    // Every saved word is taken before any is written, so an array that
    // overlaps a stride end still yields the words it held. The stride ends
    // lie inside every record size and apart from each other, so each word
    // reads back as written: no check after the writes.
    std::uint16_t saved[kMaxStrides] = {};
    for (std::size_t i = 0; i < strides; ++i) {
        saved[i] = record.U16At(usa_offset + 2 * (i + 1));
    }
    for (std::size_t i = 0; i < strides; ++i) {
        record.PutU16At(StrideEnd(i), saved[i]);
    }
    return 0;
}
