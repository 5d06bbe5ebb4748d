#include "mft/attribute_list.h"

namespace {

// One entry, offsets from its start; its name (not read) follows the fixed part.
constexpr std::uint64_t kType = 0x00;            // u32
constexpr std::uint64_t kEntryLength = 0x04;     // u16
constexpr std::uint64_t kStartVcn = 0x08;        // u64
constexpr std::uint64_t kSegmentRecno = 0x10;    // 48-bit record number
constexpr std::uint64_t kSegmentSequence = 0x16; // u16
constexpr std::uint64_t kAttrId = 0x18;          // u16
constexpr std::uint64_t kFixedPartSize = 0x1A;

}  // namespace

void DecodeAttributeList(ByteReader value, std::vector<AttributeListEntry>& entries, Diagnostics& diagnostics)
{
    entries.clear();
    std::uint64_t offset = 0;
    // Every pass moves on by at least the fixed part, so the loop ends.
    while (offset < value.size()) {
        const std::uint64_t length = value.Fits(offset, kEntryLength + 2) ? value.U16At(offset + kEntryLength) : 0;
        if (length < kFixedPartSize || !value.Fits(offset, length)) {
            diagnostics.Warning("DecodeAttributeList() - an entry's length is not valid; the list ends before it.");
            return;
        }
        AttributeListEntry entry;
        entry.attr_type = value.U32At(offset + kType);
        entry.start_vcn = value.U64At(offset + kStartVcn);
        entry.segment_recno = value.U48At(offset + kSegmentRecno);
        entry.segment_sequence = value.U16At(offset + kSegmentSequence);
        entry.attr_id = value.U16At(offset + kAttrId);
        entries.push_back(entry);
        offset += length;
    }
}
