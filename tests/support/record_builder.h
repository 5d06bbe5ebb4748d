#ifndef VARNETH_TESTS_SUPPORT_RECORD_BUILDER_H
#define VARNETH_TESTS_SUPPORT_RECORD_BUILDER_H

// Builds FILE records (1024 bytes, or 4096 as on disks with 4096-byte
// sectors) and whole $MFT images byte by byte, as a Windows volume stores them
// (update sequence applied to the end of every 512-byte stride).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varneth_test {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRecordSize = 1024;
constexpr std::size_t kLargeRecordSize = 4096;

constexpr std::uint32_t kTypeStandardInformation = 0x10;
constexpr std::uint32_t kTypeAttributeList = 0x20;
constexpr std::uint32_t kTypeFileName = 0x30;
constexpr std::uint32_t kTypeData = 0x80;
constexpr std::uint32_t kTypeIndexRoot = 0x90;
constexpr std::uint32_t kEndMarker = 0xFFFFFFFF;

constexpr std::uint8_t kPosix = 0;
constexpr std::uint8_t kWin32 = 1;
constexpr std::uint8_t kDos = 2;
constexpr std::uint8_t kWin32AndDos = 3;

// 2012-12-14 23:06:40 UTC, a handy non-zero FILETIME.
constexpr std::uint64_t kSomeFiletime = 130000000000000000ULL;

void PutLE(Bytes& bytes, std::size_t offset, std::uint64_t value, int width);
std::uint64_t GetLE(const Bytes& bytes, std::size_t offset, int width);

// One entry of an $ATTRIBUTE_LIST: an attribute and the record that holds it.
struct ListEntry {
    std::uint32_t type = 0;
    std::uint64_t recno = 0;
    std::uint16_t sequence = 1;  // of the record holding it
    std::uint16_t attr_id = 0;
    std::uint64_t start_vcn = 0;
};

// A non-resident attribute as its header gives it: the run list (mapping
// pairs, end mark included) is taken byte for byte.
struct NonResidentFields {
    std::uint32_t type = kTypeData;
    std::u16string name;
    std::uint64_t start_vcn = 0;
    std::uint64_t last_vcn = 0;
    std::uint64_t alloc_size = 0;
    std::uint64_t real_size = 0;
    std::uint64_t initialized_size = 0;
    Bytes run_list;
};

struct Times {
    std::uint64_t create = 0;
    std::uint64_t mod = 0;
    std::uint64_t mft_mod = 0;
    std::uint64_t access = 0;
    static Times All(std::uint64_t filetime) { return {filetime, filetime, filetime, filetime}; }
};

class RecordBuilder {
public:
    // The header says record_size: allocated size, and an update sequence
    // of one entry per 512 bytes besides its number.
    explicit RecordBuilder(std::size_t record_size = kRecordSize);

    // Header fields.
    RecordBuilder& InUse(bool in_use);
    RecordBuilder& Directory(bool directory);
    RecordBuilder& Flags(std::uint16_t flags);
    RecordBuilder& BaseRecord(std::uint64_t recno, std::uint16_t sequence = 0);
    RecordBuilder& NextAttrId(std::uint16_t next_attr_id);  // default: one past the last id
    RecordBuilder& SequenceNumber(std::uint16_t sequence);
    RecordBuilder& HeaderRecno(std::uint32_t recno);
    RecordBuilder& UpdateSequenceNumber(std::uint16_t usn);
    RecordBuilder& UsaOffset(std::uint16_t offset);
    RecordBuilder& UsaCount(std::uint16_t count);
    RecordBuilder& FirstAttrOffset(std::uint16_t offset);  // default 0x38 (0x48 in 4096 bytes)
    RecordBuilder& NoEndMarker();

    // Attributes, appended in call order with ids 0, 1, 2, ...
    RecordBuilder& StandardInformation(const Times& times, std::uint32_t file_attributes = 0,
                                       std::uint32_t value_length = 72);
    RecordBuilder& FileName(const std::u16string& name, std::uint8_t name_space,
                            std::uint64_t parent_recno, const Times& times = {},
                            std::uint16_t parent_sequence = 1, std::uint32_t file_attributes = 0);
    RecordBuilder& ResidentData(std::uint32_t value_length, const std::u16string& stream_name = u"");
    // start_vcn: a piece of a stream split over several records.
    RecordBuilder& NonResidentData(std::uint64_t real_size, std::uint64_t alloc_size,
                                   const std::u16string& stream_name = u"", std::uint64_t start_vcn = 0);
    RecordBuilder& NonResidentAttribute(const NonResidentFields& fields);
    // A resident $ATTRIBUTE_LIST of these entries (no names).
    RecordBuilder& AttributeList(const std::vector<ListEntry>& entries);
    // One whose value lies in clusters outside the $MFT.
    RecordBuilder& NonResidentAttributeList();
    // A complete attribute given byte for byte (its length field is the caller's).
    RecordBuilder& RawAttribute(const Bytes& attribute);
    // A resident attribute of any type with the given value bytes.
    RecordBuilder& ResidentAttribute(std::uint32_t type, const Bytes& value,
                                     const std::u16string& name = u"");

    std::size_t RecordSize() const { return record_size_; }
    // Offset at which the next attribute would start.
    std::size_t NextAttributeOffset() const;

    // The record as stored on disk: end marker, sizes, update sequence applied.
    Bytes Build() const;
    // The record with the sector ends left as they are (no update sequence).
    Bytes BuildUnprotected() const;

private:
    std::size_t record_size_;
    Bytes header_;
    Bytes attributes_;
    std::uint16_t usn_ = 0x0001;
    std::uint16_t next_id_ = 0;
    bool next_attr_id_set_ = false;
    bool end_marker_ = true;
};

// A zeroed attribute of size bytes with its type, length field and
// non-resident flag set (id 0, no name): for hand-made and broken attributes.
Bytes AttributeBytes(std::uint32_t type, std::uint32_t length, bool non_resident, std::size_t size);

// The value of an $ATTRIBUTE_LIST: one entry of 0x20 bytes (no name) each.
Bytes AttributeListValue(const std::vector<ListEntry>& entries);

// Writes the update sequence into a record in place: the last word of every
// 512-byte stride (510, 1022, ...) is saved into the update sequence array and
// replaced by its number.
void ProtectWithUpdateSequence(Bytes& record);

// A whole $MFT file, block by block.
class MftImage {
public:
    explicit MftImage(std::size_t record_size = kRecordSize) : record_size_(record_size) {}
    MftImage& Add(const Bytes& record);          // one block of the record size
    MftImage& AddZeroBlocks(std::size_t count);  // unused records
    MftImage& AddRawBytes(const Bytes& bytes);   // anything, for odd sizes
    std::size_t RecordCount() const { return bytes_.size() / record_size_; }
    std::size_t RecordSize() const { return record_size_; }
    const Bytes& bytes() const { return bytes_; }
    void WriteTo(const std::string& path) const;

private:
    std::size_t record_size_;
    Bytes bytes_;
};

// A small but complete volume: system records 0 to 15 with the root "." at 5,
// the usual shape of the first records of every $MFT.
MftImage SystemRecords(std::size_t record_size = kRecordSize);

std::u16string U16(const std::string& utf8);

}  // namespace varneth_test

#endif
