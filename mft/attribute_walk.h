#ifndef VARNETH_MFT_ATTRIBUTE_WALK_H
#define VARNETH_MFT_ATTRIBUTE_WALK_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

class MFTAttrHeader;
struct MFTAttrHeaderFields;
struct AttributeWalkBreak;
template <typename T>
class SpareObjects;

// Attribute type codes the tool decodes, and the end-of-list marker.
constexpr std::uint32_t kAttrTypeStandardInformation = 0x10;
constexpr std::uint32_t kAttrTypeAttributeList = 0x20;
constexpr std::uint32_t kAttrTypeFileName = 0x30;
constexpr std::uint32_t kAttrTypeData = 0x80;
constexpr std::uint32_t kAttrTypeIndexRoot = 0x90;
constexpr std::uint32_t kAttrTypeBitmap = 0xB0;
constexpr std::uint32_t kAttrListEnd = 0xFFFFFFFF;

// Walks the attributes of a fixed-up FILE record and appends one new
// MFTAttrHeader (owned by the array) per $STANDARD_INFORMATION, $FILE_NAME and
// $DATA attribute, in record order; other types are stepped over. At most
// next_attr_id attributes are visited. Returns 0 on success, -1 on failure
// (nothing appended then; said in diagnostics, except for a record without
// attributes). The headers come from spares when given. The
// record ends at record_size. The id of the first $INDEX_ROOT met is stored
// in index_root_id when given (a body file names a directory by it); it is
// left as it is when there is none. The header of the first
// $ATTRIBUTE_LIST met is stored in attribute_list when given and its type is
// still 0 (the attributes it lists elsewhere belong to this record); the
// header of the first unnamed $BITMAP likewise in bitmap. Where the walk
// stopped before the end marker (the record is damaged; the headers found
// before stand) is stored in walk_break when given, kNone otherwise.
int PopulateAttrHeaderArray(const unsigned char* mft_rec_buf, std::vector<MFTAttrHeader*>* pAttrHeaderArray,
                            Diagnostics& diagnostics, SpareObjects<MFTAttrHeader>* spares = nullptr,
                            std::size_t record_size = kMftRecordSize, int* index_root_id = nullptr,
                            MFTAttrHeaderFields* attribute_list = nullptr, AttributeWalkBreak* walk_break = nullptr,
                            MFTAttrHeaderFields* bitmap = nullptr);

// The log line of a damaged record: its number, the offset and the cause.
wxString AttributeWalkBreakText(std::uint64_t recno, const AttributeWalkBreak& walk_break);

#endif
