#include "mft/file_name.h"

#include <cstdint>

#include "mft/attribute_walk.h"
#include "mft/filetime.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"
#include "mft/utf16_text.h"

namespace {

// $FILE_NAME value, offsets from the value start.
constexpr std::uint64_t kParentRecno = 0x00;     // 48-bit record number
constexpr std::uint64_t kParentSequence = 0x06;  // u16
constexpr std::uint64_t kCreateTime = 0x08;      // FILETIME, then modified, $MFT modified, accessed
constexpr std::uint64_t kAllocSize = 0x28;       // u64
constexpr std::uint64_t kRealSize = 0x30;        // u64
constexpr std::uint64_t kNameFlags = 0x38;       // u32 file attributes; name_flags keeps the low half
constexpr std::uint64_t kNameLength = 0x40;      // u8, UTF-16 units
constexpr std::uint64_t kNameSpace = 0x41;       // u8
constexpr std::uint64_t kName = 0x42;            // UTF-16LE, 2 x name length bytes
constexpr std::uint64_t kFixedPartSize = kName;  // 66

}  // namespace

int GetFileNameAttr(wxObject* attr_header, MFTFileNameAttr* file_name_attr, const unsigned char* mft_rec_buf,
                    Diagnostics& diagnostics, std::size_t record_size)
{
    if (mft_rec_buf == nullptr) {
        diagnostics.Error("GetFileNameAttr() - mft_rec_buf is NULL.");
        return -1;
    }
    const MFTAttrHeader* header = AsKindOf<MFTAttrHeader>(attr_header);
    if (header == nullptr) {
        diagnostics.Error("GetFileNameAttr() - attr_header is not a  MFTAttrHeader instance.");
        return -1;
    }
    if (header->attr_type != kAttrTypeFileName) {
        diagnostics.Error("GetFileNameAttr() - Attribute type is not a $FILENAME.");
        return -1;
    }
    if (file_name_attr == nullptr) {
        diagnostics.Error("GetFileNameAttr() - file_name_attr is NULL.");
        return -1;
    }

    // The fixed part and the name must both lie inside the record (the value
    // length is not consulted). A value that would run past the record's end
    // is corrupt: the decode fails, with nothing read outside and nothing
    // written to file_name_attr.
    ByteReader record = RecordReader(mft_rec_buf, record_size);
    const std::uint64_t value_start = std::uint64_t{header->attr_offset} + header->value_offset;
    ByteReader fixed = record.SubReader(value_start, kFixedPartSize);
    if (fixed.failed()) {
        diagnostics.Error("GetFileNameAttr() - $FILE_NAME value runs past the end of the record.");
        return -1;
    }
    const std::uint8_t name_length = fixed.U8At(kNameLength);
    ByteReader name = record.SubReader(value_start + kName, 2 * std::uint64_t{name_length});
    if (name.failed()) {
        diagnostics.Error("GetFileNameAttr() - file name runs past the end of the record.");
        return -1;
    }

    file_name_attr->parent_recno = fixed.U48At(kParentRecno);
    file_name_attr->parent_sequence = fixed.U16At(kParentSequence);
    ReadFourTimes(fixed, kCreateTime, *file_name_attr);
    file_name_attr->alloc_size = fixed.U64At(kAllocSize);
    file_name_attr->real_size = fixed.U64At(kRealSize);
    file_name_attr->name_flags = fixed.U16At(kNameFlags);
    file_name_attr->file_attributes = fixed.U32At(kNameFlags);
    file_name_attr->file_name_length = name_length;
    file_name_attr->name_space = fixed.U8At(kNameSpace);
    DecodeUtf16LeInto(name, name_length, file_name_attr->file_name);
    return 0;
}
