#include "mft/extension_records.h"

#include <algorithm>
#include <memory>

#include "mft/attribute_walk.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"

namespace {

// Records read at a time by the index's pass over the headers.
constexpr std::uint64_t kRecordsPerRead = 64;

bool HoldsListedType(std::uint32_t type)
{
    return type == kAttrTypeFileName || type == kAttrTypeData;
}

// The extension record's header names the base record, number and sequence
// number (a deleted file's base was freed after its extension records were
// written); signature and base reference lie before the first sector end, so
// the fixups do not touch them.
bool BelongsTo(ByteReader extension, const MFTRecordHeader& base)
{
    return HasFileSignature(extension) &&
           extension.U48At(record_header_field::kBaseRecno) == base.mft_recno &&
           ReferenceNamesRecord(base.sequence_number, (base.record_flags & kRecordInUse) != 0,
                                extension.U16At(record_header_field::kBaseSequence));
}

// Only the piece of a non-resident stream that starts at VCN 0 holds its
// sizes; the others would give the stream a second row.
bool IsFirstPiece(const MFTAttrHeaderFields& header)
{
    return header.resident || header.start_vcn == 0;
}

void AppendHeader(MFTFileRecord& record, const MFTAttrHeader& header)
{
    std::unique_ptr<MFTAttrHeader> copy = record.spare_attr_headers.Take();
    static_cast<MFTAttrHeaderFields&>(*copy) = header;
    record.attr_header_array.push_back(copy.get());
    copy.release();
}

// A copy of the name, as decoding adds one.
void AppendFileName(MFTFileRecord& record, const MFTFileNameAttr& name)
{
    std::unique_ptr<MFTFileNameAttr> copy = record.spare_file_names.Take();
    static_cast<MFTFileNameAttrFields&>(*copy) = name;
    copy->file_name = name.file_name;
    record.file_name_array.push_back(copy.get());
    copy.release();
}

void AppendData(MFTFileRecord& record, const MFTDataAttr& data)
{
    std::unique_ptr<MFTDataAttr> copy = record.spare_data_attrs.Take();
    static_cast<MFTAttrHeaderFields&>(*copy) = data;
    copy->stream_name = data.stream_name;
    if (copy->is_ads) {
        record.has_ads = true;
    }
    record.data_attr_array.push_back(copy.get());
    copy.release();
}

}  // namespace

void ExtensionRecordIndex::ExtensionsOf(std::uint64_t base_recno, std::vector<std::uint64_t>& recnos) const
{
    std::call_once(built_, [this] { Build(); });
    recnos.clear();
    auto link = std::lower_bound(links_.begin(), links_.end(), Link{base_recno, 0});
    for (; link != links_.end() && link->base_recno == base_recno; ++link) {
        recnos.push_back(link->recno);
    }
}

// Indexes count records from first; false when an $MFT file ended in them.
// A chunk that cannot be read whole is read record by record: a record lost
// keeps none of the others out.
bool ExtensionRecordIndex::IndexChunk(std::uint64_t first, std::uint64_t count, std::vector<unsigned char>& chunk) const
{
    const std::size_t record_size = mft_file_.record_size();
    if (mft_file_.ReadQuietly(first, chunk.data(), count * record_size) != RecordSource::ReadResult::kWhole) {
        for (std::uint64_t i = 0; i < count; ++i) {
            const RecordSource::ReadResult read = mft_file_.ReadQuietly(first + i, chunk.data(), record_size);
            // A file that ended early: the records read so far are indexed,
            // and the record loop says where the file ends.
            if (read == RecordSource::ReadResult::kShort && !mft_file_.InImage()) {
                return false;
            }
            if (read == RecordSource::ReadResult::kWhole) {
                IndexChunk(first + i, 1, chunk);
            }
        }
        return true;
    }
    ByteReader records(chunk.data(), count * record_size);
    for (std::uint64_t i = 0; i < count; ++i) {
        const ByteReader header = records.SubReader(i * record_size, record_size);
        // Record number and sequence number: the $MFT's own extension
        // records name record 0.
        const std::uint64_t base_reference = ByteReader(header).U64At(record_header_field::kBaseRecno);
        if (base_reference != 0 && HasFileSignature(header)) {
            links_.push_back(Link{base_reference & 0xFFFFFFFFFFFFULL, first + i});
        }
    }
    return true;
}

void ExtensionRecordIndex::Build() const
{
    std::vector<unsigned char> chunk(kRecordsPerRead * mft_file_.record_size());
    for (const RecordRange& stretch : stretches_) {
        for (std::uint64_t first = stretch.first; first < stretch.end; first += kRecordsPerRead) {
            if (!IndexChunk(first, std::min(kRecordsPerRead, stretch.end - first), chunk)) {
                break;
            }
        }
    }
    std::sort(links_.begin(), links_.end());
    links_.shrink_to_fit();
}

ExtensionRecordReader::ExtensionRecordReader(const RecordSource& mft_file, const ExtensionRecordIndex& index)
    : mft_file_(mft_file), index_(index), buffer_(mft_file.record_size())
{
}

void ExtensionRecordReader::AddListedRecords(const unsigned char* mft_rec_buf, MFTFileRecord& record,
                                             Diagnostics& diagnostics)
{
    if (record.attribute_list.resident) {
        FindListedRecords(mft_rec_buf, record, diagnostics);
    } else {
        index_.ExtensionsOf(record.mft_header.mft_recno, recnos_);
    }
    for (const std::uint64_t recno : recnos_) {
        if (ReadExtensionRecord(recno, record, diagnostics)) {
            TakeAttributes(record);
        }
    }
}

// The distinct records other than the base that the list places a
// $FILE_NAME or $DATA in, in the order of their first such entry.
void ExtensionRecordReader::FindListedRecords(const unsigned char* mft_rec_buf, const MFTFileRecord& record,
                                              Diagnostics& diagnostics)
{
    const MFTAttrHeaderFields& list = record.attribute_list;
    const ByteReader base = RecordReader(mft_rec_buf, mft_file_.record_size());
    const std::uint64_t value_start = std::uint64_t{list.attr_offset} + list.value_offset;
    if (!base.Fits(value_start, list.value_length)) {
        diagnostics.Warning("AddExtensionRecords() - attribute list runs past the end of the record; cut at the "
                            "record end.");
    }
    DecodeAttributeList(base.ClampedSubReader(value_start, list.value_length), entries_, diagnostics);
    recnos_.clear();
    // A resident list has at most a record's size over 26 entries: the
    // search for the ones already met stays small.
    for (const AttributeListEntry& entry : entries_) {
        if (HoldsListedType(entry.attr_type) && entry.segment_recno != record.mft_header.mft_recno &&
            std::find(recnos_.begin(), recnos_.end(), entry.segment_recno) == recnos_.end()) {
            recnos_.push_back(entry.segment_recno);
        }
    }
}

// Decodes the extension record into extension_ when it belongs to the
// record; false when it does not or cannot be read.
bool ExtensionRecordReader::ReadExtensionRecord(std::uint64_t recno, const MFTFileRecord& record,
                                                Diagnostics& diagnostics)
{
    const RecordSource::ReadResult read = mft_file_.Read(recno, buffer_.data(), buffer_.size(), diagnostics);
    if (read != RecordSource::ReadResult::kWhole) {
        diagnostics.Warning(wxString::Format(
            wxS("AddExtensionRecords() - extension record %llu of record %llu can't be read."),
            static_cast<unsigned long long>(recno), static_cast<unsigned long long>(record.mft_header.mft_recno)));
        return false;
    }
    if (!BelongsTo(ByteReader(buffer_.data(), buffer_.size()), record.mft_header)) {
        return false;
    }
    extension_.Clear();
    extension_lines_.clear();
    return CreateMFTFileRecord(buffer_.data(), &extension_, recno, extension_lines_, buffer_.size()) == 0;
}

// Copies of the extension record's $FILE_NAME and $DATA attributes, with
// their headers, made from the record's own spares: the record's arrays stay
// in step with its headers (a body file takes each name's attribute id from
// them).
void ExtensionRecordReader::TakeAttributes(MFTFileRecord& record)
{
    std::size_t name = 0;
    std::size_t stream = 0;
    for (const MFTAttrHeader* header : extension_.attr_header_array) {
        if (header->attr_type == kAttrTypeFileName && name < extension_.file_name_array.size()) {
            AppendHeader(record, *header);
            AppendFileName(record, *extension_.file_name_array[name++]);
        } else if (header->attr_type == kAttrTypeData && stream < extension_.data_attr_array.size()) {
            const MFTDataAttr& data = *extension_.data_attr_array[stream++];
            if (IsFirstPiece(data)) {
                AppendHeader(record, *header);
                AppendData(record, data);
            }
        }
    }
}
