#include "mft/standard_information.h"

#include <cstdint>

#include "mft/attribute_walk.h"
#include "mft/filetime.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"

namespace {

// $STANDARD_INFORMATION value, offsets from the value start.
constexpr std::uint64_t kCreateTime = 0x00;      // FILETIME, then modified, $MFT modified, accessed
constexpr std::uint64_t kFileAttributes = 0x20;  // u32
constexpr std::uint64_t kMaxVersions = 0x24;     // u32
constexpr std::uint64_t kVersionNumber = 0x28;   // u32
constexpr std::uint64_t kClassId = 0x2C;         // u32
constexpr std::uint64_t kOwnerId = 0x30;         // u32
constexpr std::uint64_t kSecurityId = 0x34;      // u32
constexpr std::uint64_t kQuotaCharged = 0x38;    // u64
constexpr std::uint64_t kUsn = 0x40;             // u64
constexpr std::size_t kMaxValueLength = 0x48;    // 72; the older form has 48

}  // namespace

int GetStdInfoAttr(const unsigned char* mft_rec_buf, const MFTAttrHeader* attr_header, wxObject* std_info,
                   Diagnostics& diagnostics, std::size_t record_size)
{
    if (mft_rec_buf == nullptr) {
        diagnostics.Error("GetStdInfoAttr() - mft_rec_buf is NULL.");
        return -1;
    }
    MFTStdInfoAttr* info = AsKindOf<MFTStdInfoAttr>(std_info);
    if (info == nullptr) {
        diagnostics.Error("GetStdInfoAttr() - std_info is not a  MFTStdInfoAttr instance.");
        return -1;
    }
    if (attr_header == nullptr) {
        diagnostics.Error("GetStdInfoAttr() - attr_header is NULL.");
        return -1;
    }
    if (attr_header->attr_type != kAttrTypeStandardInformation) {
        diagnostics.Error("GetStdInfoAttr() - Attribute type is not a $STANDARD_INFORMATION.");
        return -1;
    }
    if (attr_header->value_length > kMaxValueLength) {
        diagnostics.Error("GetStdInfoAttr() - len is not the size of a $STANDARD_INFORMATION attribute.");
        return -1;
    }

    // The value must lie inside the record. One that would run past its end
    // is corrupt: the decode fails rather than read outside or guess.
    const std::size_t value_length = attr_header->value_length;
    const std::uint64_t value_start = std::uint64_t{attr_header->attr_offset} + attr_header->value_offset;
    unsigned char value[kMaxValueLength] = {};  // zero padding for the short forms
    ByteReader record = RecordReader(mft_rec_buf, record_size);
    // The whole-length case on its own: a copy of a length known here is a
    // few moves, where one of a length known only at run time is a string
    // instruction that is slow to start.
    const bool copied = value_length == kMaxValueLength ? record.CopyBytesAt(value_start, value, kMaxValueLength)
                                                        : record.CopyBytesAt(value_start, value, value_length);
    if (!copied) {
        diagnostics.Error("GetStdInfoAttr() - $STANDARD_INFORMATION value runs past the end of the record.");
        return -1;
    }

    ByteReader fields(value, kMaxValueLength);
    ReadFourTimes(fields, kCreateTime, *info);
    info->file_attributes = fields.U32At(kFileAttributes);
    info->max_versions = fields.U32At(kMaxVersions);
    info->version_number = fields.U32At(kVersionNumber);
    info->class_id = fields.U32At(kClassId);
    info->owner_id = fields.U32At(kOwnerId);
    info->security_id = fields.U32At(kSecurityId);
    info->quota_charged = fields.U64At(kQuotaCharged);
    info->usn = fields.U64At(kUsn);
    return 0;
}
