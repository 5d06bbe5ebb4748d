#ifndef VARNETH_MFT_MFT_FILE_RECORD_H
#define VARNETH_MFT_MFT_FILE_RECORD_H

// The decoded forms of one FILE record: its header, the headers of the
// attributes the tool decodes, $STANDARD_INFORMATION, every $FILE_NAME and
// every $DATA. The decoders fill these objects; everyone else only reads them.

#include <cstdint>
#include <vector>

#include <wx/datetime.h>
#include <wx/object.h>
#include <wx/string.h>

#include "mft/spare_objects.h"

// Each class keeps its plain members in a ...Fields base of their own, so
// that clearing or copying them is a few stores, not a trip through
// wxObject's reference counting once per attribute of every record; the
// clears are inline for the same reason.

struct MFTRecordHeaderFields {
    std::uint32_t magic = 0;
    std::uint16_t usa_offset = 0;
    std::uint16_t usa_count = 0;
    std::uint64_t lsn = 0;
    std::uint16_t sequence_number = 0;
    std::uint16_t link_count = 0;
    std::uint16_t first_attr_offset = 0;
    std::uint16_t record_flags = 0;
    std::uint32_t bytes_in_use = 0;
    std::uint32_t bytes_allocated = 0;
    std::uint64_t base_recno = 0;
    std::uint16_t base_sequence = 0;
    std::uint16_t next_attr_id = 0;
    std::uint16_t reserved = 0;
    std::uint32_t header_recno = 0;
    std::uint64_t mft_recno = 0;
};

class MFTRecordHeader : public wxObject, public MFTRecordHeaderFields {
public:
    MFTRecordHeader() = default;
    void Clear() { static_cast<MFTRecordHeaderFields&>(*this) = MFTRecordHeaderFields(); }

private:
    wxDECLARE_DYNAMIC_CLASS(MFTRecordHeader);
};

struct MFTAttrHeaderFields {
    std::uint32_t attr_type = 0;
    std::uint32_t attr_length = 0;
    std::uint8_t resident = 0;
    std::uint8_t name_length = 0;
    std::uint16_t name_offset = 0;
    std::uint16_t attr_flags = 0;
    std::uint16_t attr_id = 0;
    // Resident attributes only.
    std::uint32_t value_length = 0;
    std::uint16_t value_offset = 0;
    std::uint16_t indexed_flag = 0;
    // Non-resident attributes only.
    std::uint64_t start_vcn = 0;
    std::uint64_t last_vcn = 0;
    std::uint16_t run_list_offset = 0;
    std::uint16_t compression_unit = 0;
    std::uint32_t attr_reserved = 0;
    std::uint64_t alloc_size = 0;
    std::uint64_t real_size = 0;
    std::uint64_t init_size = 0;
    // From the walk itself.
    std::uint32_t attr_offset = 0;
    bool is_ads = false;
};

class MFTAttrHeader : public wxObject, public MFTAttrHeaderFields {
public:
    MFTAttrHeader() = default;
    void Clear() { static_cast<MFTAttrHeaderFields&>(*this) = MFTAttrHeaderFields(); }

private:
    wxDECLARE_DYNAMIC_CLASS(MFTAttrHeader);
};

class MFTDataAttr : public MFTAttrHeader {
public:
    MFTDataAttr() = default;
    explicit MFTDataAttr(const MFTAttrHeader& header) : MFTAttrHeader(header) {}
    // Every member back to its default; the name keeps its storage.
    void Clear()
    {
        MFTAttrHeader::Clear();
        stream_name.clear();
    }

    wxString stream_name;

private:
    wxDECLARE_DYNAMIC_CLASS(MFTDataAttr);
};

struct MFTStdInfoAttrFields {
    // UTC instants; wxDefaultDateTime (invalid) when never set.
    wxDateTime create_time;
    wxDateTime mod_time;
    wxDateTime mft_mod_time;
    wxDateTime access_time;
    // The same four as stored: 100 ns intervals since 1601 UTC, 0 when never set.
    std::uint64_t create_filetime = 0;
    std::uint64_t mod_filetime = 0;
    std::uint64_t mft_mod_filetime = 0;
    std::uint64_t access_filetime = 0;
    std::uint32_t file_attributes = 0;
    std::uint32_t max_versions = 0;
    std::uint32_t version_number = 0;
    std::uint32_t class_id = 0;
    std::uint32_t owner_id = 0;
    std::uint32_t security_id = 0;
    std::uint64_t quota_charged = 0;
    std::uint64_t usn = 0;
};

class MFTStdInfoAttr : public wxObject, public MFTStdInfoAttrFields {
public:
    MFTStdInfoAttr() = default;
    void Clear() { static_cast<MFTStdInfoAttrFields&>(*this) = MFTStdInfoAttrFields(); }

private:
    wxDECLARE_DYNAMIC_CLASS(MFTStdInfoAttr);
};

struct MFTFileNameAttrFields {  // all but the name
    std::uint64_t parent_recno = 0;
    std::uint16_t parent_sequence = 0;
    wxDateTime create_time;
    wxDateTime mod_time;
    wxDateTime mft_mod_time;
    wxDateTime access_time;
    // The same four as stored: 100 ns intervals since 1601 UTC, 0 when never set.
    std::uint64_t create_filetime = 0;
    std::uint64_t mod_filetime = 0;
    std::uint64_t mft_mod_filetime = 0;
    std::uint64_t access_filetime = 0;
    std::uint64_t alloc_size = 0;
    std::uint64_t real_size = 0;
    std::uint16_t name_flags = 0;
    std::uint32_t file_attributes = 0;  // the whole flags field; name_flags is its low half
    std::uint16_t file_name_length = 0;
    std::uint16_t name_space = 0;
};

class MFTFileNameAttr : public wxObject, public MFTFileNameAttrFields {
public:
    MFTFileNameAttr() = default;
    // Every member back to its default; the name keeps its storage.
    void Clear()
    {
        static_cast<MFTFileNameAttrFields&>(*this) = MFTFileNameAttrFields();
        file_name.clear();
    }

    wxString file_name;

private:
    wxDECLARE_DYNAMIC_CLASS(MFTFileNameAttr);
};

// File name namespaces.
constexpr std::uint16_t kNameSpacePosix = 0;
constexpr std::uint16_t kNameSpaceWin32 = 1;
constexpr std::uint16_t kNameSpaceDos = 2;
constexpr std::uint16_t kNameSpaceWin32AndDos = 3;

// Record header flags.
constexpr std::uint16_t kRecordInUse = 0x0001;

// Whether a reference (a parent's, an extension record's base) still names the
// record it points at, which now has record_sequence and is in use or not:
// the same sequence number, or the record freed since and not reused
// (freeing raises the number by one; the next use raises it again).
inline bool ReferenceNamesRecord(std::uint16_t record_sequence, bool in_use, std::uint16_t reference_sequence)
{
    return record_sequence == reference_sequence ||
           (!in_use && record_sequence == static_cast<std::uint16_t>(reference_sequence + 1));
}

constexpr std::uint16_t kRecordIsDirectory = 0x0002;

// An extension record names its base record in its header; a base record
// holds zeros there. The $MFT's own extension records name record 0, so the
// sequence number must be looked at too.
inline bool IsExtensionRecord(const MFTRecordHeaderFields& header)
{
    return header.base_recno != 0 || header.base_sequence != 0;
}

// Where and why a record's attribute walk stopped before the end marker; a
// record whose walk broke is damaged, though what came before the break
// stands. cause kNone: the walk reached the end marker (or was not made).
struct AttributeWalkBreak {
    enum class Cause : std::uint8_t { kNone, kFirstPastEnd, kTooShort, kHeaderCut, kLengthPastEnd, kNoEndMarker };
    Cause cause = Cause::kNone;
    std::uint32_t offset = 0;  // of the attribute (or of the missing end marker) in the record
    std::uint32_t length = 0;  // the attribute's length, where the cause is its length
};

class MFTFileRecord : public wxObject {
public:
    MFTFileRecord() = default;
    ~MFTFileRecord() override;

    // Empties the record. The attribute objects become spares for the next
    // decoding and the arrays keep their storage, so that one record object
    // serves a whole run without allocating again.
    void Clear();

    MFTRecordHeader mft_header;
    std::vector<MFTAttrHeader*> attr_header_array;  // owning
    MFTStdInfoAttr std_info;
    std::vector<MFTFileNameAttr*> file_name_array;  // owning
    std::vector<MFTDataAttr*> data_attr_array;      // owning
    bool has_ads = false;
    int index_root_id = -1;  // attribute id of the first $INDEX_ROOT; -1: none in this record
    // The header of the record's first $ATTRIBUTE_LIST; attr_type 0: none
    // (and nothing else in it is to be read).
    // A base record with one may hold more $FILE_NAME and $DATA attributes in
    // extension records (extension_records.h appends them to the arrays
    // above, whose headers then have attr_offset inside their own record).
    MFTAttrHeaderFields attribute_list;
    AttributeWalkBreak walk_break;  // of this record's own walk

    // Where the decoders take their attribute objects from.
    SpareObjects<MFTAttrHeader> spare_attr_headers;
    SpareObjects<MFTFileNameAttr> spare_file_names;
    SpareObjects<MFTDataAttr> spare_data_attrs;

private:
    wxDECLARE_DYNAMIC_CLASS_NO_COPY(MFTFileRecord);
};

#endif
