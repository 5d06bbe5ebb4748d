#include "mft/attribute_walk.h"

#include <memory>

#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"
#include "mft/record_header.h"

namespace {

// Common part of every attribute, offsets from the attribute start.
constexpr std::uint64_t kType = 0x00;              // u32
constexpr std::uint64_t kLength = 0x04;            // u32
constexpr std::uint64_t kNonResidentFlag = 0x08;   // u8, 0 = resident
constexpr std::uint64_t kNameLength = 0x09;        // u8, UTF-16 units
constexpr std::uint64_t kNameOffset = 0x0A;        // u16
constexpr std::uint64_t kFlags = 0x0C;             // u16
constexpr std::uint64_t kId = 0x0E;                // u16
constexpr std::uint64_t kCommonPartSize = 0x10;

// Resident part.
constexpr std::uint64_t kValueLength = 0x10;       // u32
constexpr std::uint64_t kValueOffset = 0x14;       // u16
constexpr std::uint64_t kIndexedFlag = 0x16;       // u8 and the byte after it
constexpr std::uint64_t kResidentHeaderSize = 0x18;

// Non-resident part.
constexpr std::uint64_t kStartVcn = 0x10;          // u64
constexpr std::uint64_t kLastVcn = 0x18;           // u64
constexpr std::uint64_t kRunListOffset = 0x20;     // u16
constexpr std::uint64_t kCompressionUnit = 0x22;   // u16
constexpr std::uint64_t kAttrReserved = 0x24;      // u32
constexpr std::uint64_t kAllocSize = 0x28;         // u64
constexpr std::uint64_t kRealSize = 0x30;          // u64
constexpr std::uint64_t kInitSize = 0x38;          // u64
constexpr std::uint64_t kNonResidentHeaderSize = 0x40;

// The smallest first attribute offset that clears the fixed header fields.
constexpr std::uint16_t kMinFirstAttrOffset = 16;

bool IsDecodedType(std::uint32_t type)
{
    return type == kAttrTypeStandardInformation || type == kAttrTypeFileName || type == kAttrTypeData;
}

// attr views the record from the attribute start to the record end; the
// caller has checked that the resident or non-resident part fits.
void FillAttrHeader(ByteReader& attr, std::uint32_t offset, MFTAttrHeaderFields& header)
{
    header.attr_type = attr.U32At(kType);
    header.attr_length = attr.U32At(kLength);
    header.resident = attr.U8At(kNonResidentFlag) == 0 ? 1 : 0;
    header.name_length = attr.U8At(kNameLength);
    header.name_offset = attr.U16At(kNameOffset);
    header.attr_flags = attr.U16At(kFlags);
    header.attr_id = attr.U16At(kId);
    if (header.resident) {
        header.value_length = attr.U32At(kValueLength);
        header.value_offset = attr.U16At(kValueOffset);
        header.indexed_flag = attr.U16At(kIndexedFlag);
    } else {
        header.start_vcn = attr.U64At(kStartVcn);
        header.last_vcn = attr.U64At(kLastVcn);
        header.run_list_offset = attr.U16At(kRunListOffset);
        header.compression_unit = attr.U16At(kCompressionUnit);
        header.attr_reserved = attr.U32At(kAttrReserved);
        header.alloc_size = attr.U64At(kAllocSize);
        header.real_size = attr.U64At(kRealSize);
        header.init_size = attr.U64At(kInitSize);
    }
    header.attr_offset = offset;
    header.is_ads = header.attr_type == kAttrTypeData && header.name_length != 0 && header.name_offset != 0;
}

}  // namespace

int PopulateAttrHeaderArray(const unsigned char* mft_rec_buf, std::vector<MFTAttrHeader*>* pAttrHeaderArray,
                            Diagnostics& diagnostics, SpareObjects<MFTAttrHeader>* spares, std::size_t record_size,
                            int* index_root_id, MFTAttrHeaderFields* attribute_list,
                            AttributeWalkBreak* walk_break, MFTAttrHeaderFields* bitmap)
{
    if (mft_rec_buf == nullptr) {
        diagnostics.Error("PopulateAttrHeaderArray() - mft_rec_buf is NULL.");
        return -1;
    }
    if (pAttrHeaderArray == nullptr) {
        diagnostics.Error("PopulateAttrHeaderArray() - pAttrHeaderArray size is NULL.");
        return -1;
    }
    ByteReader record = RecordReader(mft_rec_buf, record_size);
    const std::uint16_t first_attr_offset = record.U16At(record_header_field::kFirstAttrOffset);
    if (first_attr_offset < kMinFirstAttrOffset) {
        // This check has always logged under the name of the
        // $STANDARD_INFORMATION decoder; the text stands as it is.
        diagnostics.Error("GetStdInfoAttr() - unable to determine first attribute offset.");
        return -1;
    }
    const std::uint16_t visit_limit = record.U16At(record_header_field::kNextAttrId);
    if (visit_limit == 0) {
        return -1;  // no attributes: silent
    }

    AttributeWalkBreak found;
    const auto note = [&found](AttributeWalkBreak::Cause cause, std::uint64_t at, std::uint32_t length) {
        if (found.cause == AttributeWalkBreak::Cause::kNone) {
            found = {cause, static_cast<std::uint32_t>(at), length};
        }
    };
    // The end marker needs four bytes, not an attribute's sixteen.
    const auto end_marker_at = [&record](std::uint64_t at) {
        return record.Fits(at, sizeof(kAttrListEnd)) && record.U32At(at) == kAttrListEnd;
    };
    std::uint64_t offset = first_attr_offset;
    std::uint32_t last_length = 0;  // of the attribute stepped over last
    // A walk that ends without the end marker: before its first attribute,
    // after one whose length carried it past the record (found here rather
    // than checked at every attribute of every record), or where the marker
    // should follow.
    const auto note_no_end_marker = [&](std::uint32_t visited) {
        if (end_marker_at(offset)) {
            return;
        }
        if (visited == 0) {
            note(AttributeWalkBreak::Cause::kFirstPastEnd, offset, 0);
        } else if (offset > record.size()) {
            note(AttributeWalkBreak::Cause::kLengthPastEnd, offset - last_length, last_length);
        } else {
            note(AttributeWalkBreak::Cause::kNoEndMarker, offset, 0);
        }
    };
    std::uint32_t visits = 0;
    for (; visits < visit_limit; ++visits) {
        if (offset + kCommonPartSize >= record.size()) {
            note_no_end_marker(visits);
            break;
        }
        ByteReader attr = record.ClampedSubReader(offset, record.size());
        const std::uint32_t type = attr.U32At(kType);
        if (type == kAttrListEnd) {
            break;
        }
        // An attribute shorter than its own common part cannot be stepped
        // over (a length of 0 would be visited again and again): it ends the
        // list like the end marker, and the headers found before it stand.
        const std::uint32_t length = attr.U32At(kLength);
        if (length < kCommonPartSize) {
            note(AttributeWalkBreak::Cause::kTooShort, offset, length);
            break;
        }
        // An attribute whose resident (24-byte) or non-resident (64-byte)
        // header is cut by the end of the record is not read: the walk ends
        // before it, as at the end marker.
        const bool resident = attr.U8At(kNonResidentFlag) == 0;
        if (!attr.Fits(0, resident ? kResidentHeaderSize : kNonResidentHeaderSize)) {
            note(AttributeWalkBreak::Cause::kHeaderCut, offset, length);
            break;
        }
        // One place fills headers, so that it stays inlined in this loop.
        std::unique_ptr<MFTAttrHeader> header;
        MFTAttrHeaderFields* fields = nullptr;
        if (IsDecodedType(type)) {
            header = spares != nullptr ? spares->Take() : std::make_unique<MFTAttrHeader>();
            fields = header.get();
        } else if (type == kAttrTypeAttributeList && attribute_list != nullptr && attribute_list->attr_type == 0) {
            fields = attribute_list;
        } else if (type == kAttrTypeBitmap && bitmap != nullptr && bitmap->attr_type == 0 &&
                   attr.U8At(kNameLength) == 0) {
            fields = bitmap;
        }
        if (fields != nullptr) {
            FillAttrHeader(attr, static_cast<std::uint32_t>(offset), *fields);
        }
        if (header != nullptr) {
            pAttrHeaderArray->push_back(header.get());
            header.release();
        }
        if (type == kAttrTypeIndexRoot && index_root_id != nullptr && *index_root_id < 0) {
            *index_root_id = attr.U16At(kId);
        }
        // A length that carries the offset past the record end stops the
        // walk at the top of the next pass.
        offset += length;
        last_length = length;
    }
    // Every attribute the record's id counter allows was visited: the end
    // marker must follow.
    if (visits == visit_limit) {
        note_no_end_marker(visits);
    }
    if (walk_break != nullptr) {
        *walk_break = found;
    }
    return 0;
}

wxString AttributeWalkBreakText(std::uint64_t recno, const AttributeWalkBreak& walk_break)
{
    const wxString at = wxString::Format(wxS("offset %u (0x%X)"), walk_break.offset, walk_break.offset);
    const wxString length = wxString::Format(wxS(" has a length of %u"), walk_break.length);
    wxString cause;
    switch (walk_break.cause) {
    case AttributeWalkBreak::Cause::kNone:
        return wxString();
    case AttributeWalkBreak::Cause::kFirstPastEnd:
        cause = wxS("its first attribute, at ") + at + wxS(", lies past the end of the record; none is read");
        break;
    case AttributeWalkBreak::Cause::kTooShort:
        cause = wxS("the attribute at ") + at + length +
                wxS(", shorter than an attribute header; the attributes from there on are not read");
        break;
    case AttributeWalkBreak::Cause::kHeaderCut:
        cause = wxS("the attribute at ") + at +
                wxS(" is cut by the end of the record; the attributes from there on are not read");
        break;
    case AttributeWalkBreak::Cause::kLengthPastEnd:
        cause = wxS("the attribute at ") + at + length +
                wxS(", past the end of the record; the attributes after it are not read");
        break;
    case AttributeWalkBreak::Cause::kNoEndMarker:
        cause = wxS("no end marker at ") + at + wxS(", after its last attribute");
        break;
    }
    return wxString::Format(wxS("Record %llu is damaged: "), static_cast<unsigned long long>(recno)) + cause +
           wxS(".");
}
