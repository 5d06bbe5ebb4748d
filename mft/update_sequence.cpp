#include "mft/update_sequence.h"

#include <cstdint>

#include "base/log_message.h"
#include "mft/record_buffer.h"
#include "mft/record_header.h"

namespace {

// The array holds the update sequence number and the two saved words: three
// 16-bit words from usa_offset on. An offset past 1018 would put them (partly)
// outside the record, so such an offset is refused like offset 0, with the
// same message, before anything is read from it.
constexpr std::uint64_t kUsaWords = 3;
constexpr std::uint64_t kMaxUsaOffset = kMftRecordSize - 2 * kUsaWords;  // 1018

// The last word of each of the two sectors.
constexpr std::uint64_t kSector1End = kMftSectorSize - 2;      // 510
constexpr std::uint64_t kSector2End = 2 * kMftSectorSize - 2;  // 1022

}  // namespace

int WriteFixupValues(unsigned char* mft_rec_buf)
{
    if (mft_rec_buf == nullptr) {
        LogErrorText("WriteFixupValues() - mft_rec_buf is NULL.");
        return -1;
    }
    ByteWriter record = RecordWriter(mft_rec_buf);

    const std::uint16_t usa_offset = record.U16At(record_header_field::kUsaOffset);
    if (usa_offset == 0 || usa_offset > kMaxUsaOffset) {
        LogErrorText("WriteFixupValues() - signature offset to fixup array is not valid.");
        return -1;
    }
    // The count is checked but otherwise unused: a record always has two sectors.
    if (record.U16At(record_header_field::kUsaCount) == 0) {
        LogErrorText("WriteFixupValues() - signature count is not valid.");
        return -1;
    }
    const std::uint16_t update_sequence_number = record.U16At(usa_offset);
    if (update_sequence_number == 0) {
        LogErrorText("WriteFixupValues() - signature value is not correct.");
        return -1;
    }
    if (record.U16At(kSector1End) != update_sequence_number ||
        record.U16At(kSector2End) != update_sequence_number) {
        LogErrorText("WriteFixupValues() - fixup signatures do not match.");
        return -1;
    }

    // Both saved words are taken before either is written, so an array that
    // overlaps a sector end still yields the words it held.
    const std::uint16_t saved_sector1 = record.U16At(usa_offset + 2);
    const std::uint16_t saved_sector2 = record.U16At(usa_offset + 4);
    record.PutU16At(kSector1End, saved_sector1);
    record.PutU16At(kSector2End, saved_sector2);
    if (record.U16At(kSector1End) != saved_sector1 || record.U16At(kSector2End) != saved_sector2) {
        LogErrorText("WriteFixupValues() - written fixup signatures do not match.");
        return -1;
    }
    return 0;
}
