#include "support/record_builder.h"

#include <fstream>
#include <stdexcept>

namespace varneth_test {

namespace {

constexpr std::size_t kUsaOffset = 0x30;
constexpr std::size_t kResidentHeader = 0x18;
constexpr std::size_t kNonResidentHeader = 0x40;

std::size_t AlignUp8(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

std::size_t UsaCountOf(std::size_t record_size) { return record_size / 512 + 1; }

// Right after the update sequence array: 0x38 in a 1024-byte record, 0x48 in a 4096-byte one.
std::size_t FirstAttrOffsetOf(std::size_t record_size) { return AlignUp8(kUsaOffset + 2 * UsaCountOf(record_size)); }

void PutName(Bytes& bytes, std::size_t offset, const std::u16string& name)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        PutLE(bytes, offset + 2 * i, name[i], 2);
    }
}

}  // namespace

void PutLE(Bytes& bytes, std::size_t offset, std::uint64_t value, int width)
{
    if (offset + width > bytes.size()) {
        bytes.resize(offset + width);
    }
    for (int i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t GetLE(const Bytes& bytes, std::size_t offset, int width)
{
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | bytes.at(offset + i);
    }
    return value;
}

RecordBuilder::RecordBuilder(std::size_t record_size)
    : record_size_(record_size), header_(FirstAttrOffsetOf(record_size), 0)
{
    header_[0] = 'F';
    header_[1] = 'I';
    header_[2] = 'L';
    header_[3] = 'E';
    PutLE(header_, 4, kUsaOffset, 2);
    PutLE(header_, 6, UsaCountOf(record_size), 2);
    PutLE(header_, 8, 0x1234, 8);  // LSN
    PutLE(header_, 16, 1, 2);      // sequence number
    PutLE(header_, 18, 1, 2);      // link count
    PutLE(header_, 20, header_.size(), 2);
    PutLE(header_, 22, 0x0001, 2);  // in use
    PutLE(header_, 28, record_size, 4);
}

RecordBuilder& RecordBuilder::InUse(bool in_use)
{
    auto flags = static_cast<std::uint16_t>(GetLE(header_, 22, 2));
    return Flags(in_use ? (flags | 0x0001) : (flags & ~0x0001));
}

RecordBuilder& RecordBuilder::Directory(bool directory)
{
    auto flags = static_cast<std::uint16_t>(GetLE(header_, 22, 2));
    return Flags(directory ? (flags | 0x0002) : (flags & ~0x0002));
}

RecordBuilder& RecordBuilder::Flags(std::uint16_t flags) { PutLE(header_, 22, flags, 2); return *this; }

RecordBuilder& RecordBuilder::BaseRecord(std::uint64_t recno, std::uint16_t sequence)
{
    PutLE(header_, 32, recno, 6);
    PutLE(header_, 38, sequence, 2);
    return *this;
}

RecordBuilder& RecordBuilder::NextAttrId(std::uint16_t next_attr_id)
{
    PutLE(header_, 40, next_attr_id, 2);
    next_attr_id_set_ = true;
    return *this;
}

RecordBuilder& RecordBuilder::SequenceNumber(std::uint16_t sequence) { PutLE(header_, 16, sequence, 2); return *this; }
RecordBuilder& RecordBuilder::HeaderRecno(std::uint32_t recno) { PutLE(header_, 44, recno, 4); return *this; }
RecordBuilder& RecordBuilder::UpdateSequenceNumber(std::uint16_t usn) { usn_ = usn; return *this; }
RecordBuilder& RecordBuilder::UsaOffset(std::uint16_t offset) { PutLE(header_, 4, offset, 2); return *this; }
RecordBuilder& RecordBuilder::UsaCount(std::uint16_t count) { PutLE(header_, 6, count, 2); return *this; }
RecordBuilder& RecordBuilder::FirstAttrOffset(std::uint16_t offset) { PutLE(header_, 20, offset, 2); return *this; }
RecordBuilder& RecordBuilder::NoEndMarker() { end_marker_ = false; return *this; }

std::size_t RecordBuilder::NextAttributeOffset() const
{
    return GetLE(header_, 20, 2) + attributes_.size();
}

RecordBuilder& RecordBuilder::RawAttribute(const Bytes& attribute)
{
    attributes_.insert(attributes_.end(), attribute.begin(), attribute.end());
    ++next_id_;
    return *this;
}

RecordBuilder& RecordBuilder::ResidentAttribute(std::uint32_t type, const Bytes& value,
                                                const std::u16string& name)
{
    std::size_t name_offset = name.empty() ? 0 : kResidentHeader;
    std::size_t value_offset = AlignUp8(kResidentHeader + 2 * name.size());
    std::size_t length = AlignUp8(value_offset + value.size());
    Bytes attr(length, 0);
    PutLE(attr, 0x00, type, 4);
    PutLE(attr, 0x04, length, 4);
    attr[0x08] = 0;  // resident
    attr[0x09] = static_cast<std::uint8_t>(name.size());
    PutLE(attr, 0x0A, name_offset, 2);
    PutLE(attr, 0x0E, next_id_, 2);
    PutLE(attr, 0x10, value.size(), 4);
    PutLE(attr, 0x14, value_offset, 2);
    PutName(attr, kResidentHeader, name);
    std::copy(value.begin(), value.end(), attr.begin() + value_offset);
    return RawAttribute(attr);
}

RecordBuilder& RecordBuilder::StandardInformation(const Times& times, std::uint32_t file_attributes,
                                                  std::uint32_t value_length)
{
    Bytes value(value_length < 72 ? 72 : value_length, 0);
    PutLE(value, 0x00, times.create, 8);
    PutLE(value, 0x08, times.mod, 8);
    PutLE(value, 0x10, times.mft_mod, 8);
    PutLE(value, 0x18, times.access, 8);
    PutLE(value, 0x20, file_attributes, 4);
    PutLE(value, 0x34, 0x100, 4);  // security id
    PutLE(value, 0x40, 0x5678, 8);  // USN
    value.resize(value_length);
    return ResidentAttribute(kTypeStandardInformation, value);
}

RecordBuilder& RecordBuilder::FileName(const std::u16string& name, std::uint8_t name_space,
                                       std::uint64_t parent_recno, const Times& times,
                                       std::uint16_t parent_sequence, std::uint32_t file_attributes)
{
    Bytes value(0x42 + 2 * name.size(), 0);
    PutLE(value, 0x00, parent_recno, 6);
    PutLE(value, 0x06, parent_sequence, 2);
    PutLE(value, 0x08, times.create, 8);
    PutLE(value, 0x10, times.mod, 8);
    PutLE(value, 0x18, times.mft_mod, 8);
    PutLE(value, 0x20, times.access, 8);
    PutLE(value, 0x38, file_attributes, 4);
    value[0x40] = static_cast<std::uint8_t>(name.size());
    value[0x41] = name_space;
    PutName(value, 0x42, name);
    return ResidentAttribute(kTypeFileName, value);
}

RecordBuilder& RecordBuilder::ResidentData(std::uint32_t value_length, const std::u16string& stream_name)
{
    Bytes value(value_length, 0);
    for (std::size_t i = 0; i < value.size(); ++i) {
        value[i] = static_cast<std::uint8_t>('a' + i % 26);
    }
    return ResidentAttribute(kTypeData, value, stream_name);
}

RecordBuilder& RecordBuilder::NonResidentData(std::uint64_t real_size, std::uint64_t alloc_size,
                                              const std::u16string& stream_name, std::uint64_t start_vcn)
{
    const std::uint64_t clusters = (alloc_size + 4095) / 4096;
    NonResidentFields fields;
    fields.name = stream_name;
    fields.start_vcn = start_vcn;
    fields.last_vcn = start_vcn + (clusters == 0 ? 0 : clusters - 1);
    fields.alloc_size = alloc_size;
    fields.real_size = real_size;
    fields.initialized_size = real_size;
    fields.run_list = {0x11, 0x01, 0x2A, 0x00};  // one cluster at LCN 42
    return NonResidentAttribute(fields);
}

RecordBuilder& RecordBuilder::NonResidentAttribute(const NonResidentFields& fields)
{
    const std::size_t name_offset = fields.name.empty() ? 0 : kNonResidentHeader;
    const std::size_t run_list_offset = AlignUp8(kNonResidentHeader + 2 * fields.name.size());
    const std::size_t length = AlignUp8(run_list_offset + fields.run_list.size());
    Bytes attr(length, 0);
    PutLE(attr, 0x00, fields.type, 4);
    PutLE(attr, 0x04, length, 4);
    attr[0x08] = 1;  // non-resident
    attr[0x09] = static_cast<std::uint8_t>(fields.name.size());
    PutLE(attr, 0x0A, name_offset, 2);
    PutLE(attr, 0x0E, next_id_, 2);
    PutLE(attr, 0x10, fields.start_vcn, 8);
    PutLE(attr, 0x18, fields.last_vcn, 8);
    PutLE(attr, 0x20, run_list_offset, 2);
    PutLE(attr, 0x28, fields.alloc_size, 8);
    PutLE(attr, 0x30, fields.real_size, 8);
    PutLE(attr, 0x38, fields.initialized_size, 8);
    PutName(attr, kNonResidentHeader, fields.name);
    std::copy(fields.run_list.begin(), fields.run_list.end(), attr.begin() + run_list_offset);
    return RawAttribute(attr);
}

Bytes AttributeListValue(const std::vector<ListEntry>& entries)
{
    constexpr std::size_t kEntrySize = 0x20;  // 26 bytes and no name, aligned
    Bytes value(kEntrySize * entries.size(), 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = kEntrySize * i;
        PutLE(value, at + 0x00, entries[i].type, 4);
        PutLE(value, at + 0x04, kEntrySize, 2);
        PutLE(value, at + 0x08, entries[i].start_vcn, 8);
        PutLE(value, at + 0x10, entries[i].recno, 6);
        PutLE(value, at + 0x16, entries[i].sequence, 2);
        PutLE(value, at + 0x18, entries[i].attr_id, 2);
    }
    return value;
}

RecordBuilder& RecordBuilder::AttributeList(const std::vector<ListEntry>& entries)
{
    return ResidentAttribute(kTypeAttributeList, AttributeListValue(entries));
}

RecordBuilder& RecordBuilder::NonResidentAttributeList()
{
    Bytes attr = AttributeBytes(kTypeAttributeList, kNonResidentHeader + 8, true, kNonResidentHeader + 8);
    PutLE(attr, 0x0E, next_id_, 2);
    PutLE(attr, 0x20, kNonResidentHeader, 2);
    PutLE(attr, 0x28, 4096, 8);
    PutLE(attr, 0x30, 2000, 8);
    PutLE(attr, 0x38, 2000, 8);
    attr[kNonResidentHeader] = 0x11;  // one cluster at LCN 77
    attr[kNonResidentHeader + 1] = 0x01;
    attr[kNonResidentHeader + 2] = 0x4D;
    return RawAttribute(attr);
}

Bytes RecordBuilder::BuildUnprotected() const
{
    Bytes record(record_size_, 0);
    std::copy(header_.begin(), header_.end(), record.begin());
    std::size_t first = GetLE(header_, 20, 2);
    std::size_t end = first;
    for (std::size_t i = 0; i < attributes_.size() && first + i < record_size_; ++i) {
        record[first + i] = attributes_[i];
        end = first + i + 1;
    }
    if (end_marker_ && end + 8 <= record_size_) {
        PutLE(record, end, kEndMarker, 4);
        end += 8;
    }
    PutLE(record, 24, end, 4);  // bytes in use
    if (!next_attr_id_set_) {
        PutLE(record, 40, next_id_, 2);
    }
    std::size_t usa = GetLE(record, 4, 2);
    if (usa + 2 <= record_size_) {
        PutLE(record, usa, usn_, 2);
    }
    return record;
}

Bytes RecordBuilder::Build() const
{
    Bytes record = BuildUnprotected();
    ProtectWithUpdateSequence(record);
    return record;
}

Bytes AttributeBytes(std::uint32_t type, std::uint32_t length, bool non_resident, std::size_t size)
{
    Bytes attr(size < 0x10 ? 0x10 : size, 0);  // cut back below for short sizes
    PutLE(attr, 0x00, type, 4);
    PutLE(attr, 0x04, length, 4);
    attr[0x08] = non_resident ? 1 : 0;
    attr.resize(size);
    return attr;
}

void ProtectWithUpdateSequence(Bytes& record)
{
    const std::size_t strides = record.size() / 512;
    std::size_t usa = GetLE(record, 4, 2);
    if (usa + 2 * (strides + 1) > record.size()) {
        return;
    }
    std::uint64_t usn = GetLE(record, usa, 2);
    for (std::size_t i = 0; i < strides; ++i) {
        PutLE(record, usa + 2 * (i + 1), GetLE(record, 512 * (i + 1) - 2, 2), 2);
    }
    for (std::size_t i = 0; i < strides; ++i) {
        PutLE(record, 512 * (i + 1) - 2, usn, 2);
    }
}

MftImage& MftImage::Add(const Bytes& record)
{
    if (record.size() != record_size_) {
        throw std::invalid_argument("a record of another size than the image's");
    }
    bytes_.insert(bytes_.end(), record.begin(), record.end());
    return *this;
}

MftImage& MftImage::AddZeroBlocks(std::size_t count)
{
    bytes_.resize(bytes_.size() + count * record_size_, 0);
    return *this;
}

MftImage& MftImage::AddRawBytes(const Bytes& bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

void MftImage::WriteTo(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

MftImage SystemRecords(std::size_t record_size)
{
    struct System {
        const char16_t* name;
        bool directory;
        std::uint64_t real_size;
    };
    static const System kSystem[] = {
        {u"$MFT", false, 262144},   {u"$MFTMirr", false, 4096}, {u"$LogFile", false, 2097152},
        {u"$Volume", false, 0},     {u"$AttrDef", false, 2560}, {u".", true, 0},
        {u"$Bitmap", false, 4096},  {u"$Boot", false, 8192},    {u"$BadClus", false, 0},
        {u"$Secure", false, 0},     {u"$UpCase", false, 131072}, {u"$Extend", true, 0},
    };
    const Times times = Times::All(kSomeFiletime);
    MftImage image(record_size);
    std::uint32_t recno = 0;
    for (const System& system : kSystem) {
        RecordBuilder record(record_size);
        record.HeaderRecno(recno).Directory(system.directory);
        record.StandardInformation(times, 0x0006)
            .FileName(system.name, kWin32AndDos, 5, times);
        if (!system.directory) {
            if (system.real_size == 0) {
                record.ResidentData(0);
            } else {
                record.NonResidentData(system.real_size, system.real_size);
            }
        }
        if (recno == 8) {
            record.NonResidentData(0, 0, u"$Bad");
        }
        image.Add(record.Build());
        ++recno;
    }
    for (; recno < 16; ++recno) {
        // Reserved records: in use, but without a name.
        image.Add(RecordBuilder(record_size).HeaderRecno(recno).StandardInformation(times).ResidentData(0).Build());
    }
    return image;
}

std::u16string U16(const std::string& utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp;
        int extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; extra = 1; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; extra = 2; }
        else { cp = c & 0x07; extra = 3; }
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += 1 + extra;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

}  // namespace varneth_test
