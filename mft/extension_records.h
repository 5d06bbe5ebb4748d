#ifndef VARNETH_MFT_EXTENSION_RECORDS_H
#define VARNETH_MFT_EXTENSION_RECORDS_H

// A file whose attributes overflow its base record (many streams, many hard
// links, a very fragmented file) keeps some of them in extension records and
// lists them all in the base record's $ATTRIBUTE_LIST. Every extension record
// names its base record, number and sequence number, in its header; one that
// names a base under another sequence number (other than a base freed since,
// one number on and not in use: a deleted file) is left from a file whose
// record was reused, and belongs to nobody.

#include <cstdint>
#include <mutex>
#include <vector>

#include "base/diagnostics.h"
#include "mft/attribute_list.h"
#include "mft/attribute_walk.h"
#include "mft/lost_records.h"
#include "mft/mft_file_record.h"
#include "mft/record_source.h"

// The extension records of every base record, by the base record each names:
// for a list that is not resident (its clusters are not in the $MFT file).
// Built by one pass over every record header at the first look-up, whichever
// thread makes it; only extension records are kept.
class ExtensionRecordIndex {
public:
    ExtensionRecordIndex(const RecordSource& mft_file, std::uint64_t record_count)
        : ExtensionRecordIndex(mft_file, std::vector<RecordRange>{RecordRange{0, record_count}})
    {
    }
    // Only the records of the stretches: those between are lost.
    ExtensionRecordIndex(const RecordSource& mft_file, std::vector<RecordRange> stretches)
        : mft_file_(mft_file), stretches_(std::move(stretches))
    {
    }
    ExtensionRecordIndex(const ExtensionRecordIndex&) = delete;
    ExtensionRecordIndex& operator=(const ExtensionRecordIndex&) = delete;

    // The records whose header names base_recno as their base, whatever the
    // sequence number, ascending, into recnos (emptied first).
    void ExtensionsOf(std::uint64_t base_recno, std::vector<std::uint64_t>& recnos) const;

private:
    struct Link {
        std::uint64_t base_recno;
        std::uint64_t recno;
        bool operator<(const Link& other) const
        {
            return base_recno != other.base_recno ? base_recno < other.base_recno : recno < other.recno;
        }
    };

    void Build() const;
    bool IndexChunk(std::uint64_t first, std::uint64_t count, std::vector<unsigned char>& chunk) const;

    const RecordSource mft_file_;
    const std::vector<RecordRange> stretches_;
    mutable std::once_flag built_;
    mutable std::vector<Link> links_;  // sorted; written once, under built_
};

// One worker's reader of extension records; it keeps only storage from one
// base record to the next.
class ExtensionRecordReader {
public:
    ExtensionRecordReader(const RecordSource& mft_file, const ExtensionRecordIndex& index);

    // For a decoded base record with an $ATTRIBUTE_LIST (mft_rec_buf: its
    // fixed-up buffer; records without one are left as they are): appends to
    // its arrays the $FILE_NAME and $DATA attributes of each extension record
    // that belongs to it, record after record, each in its record's order.
    // The records are those its resident list names, in the order of their
    // first $FILE_NAME or $DATA entry, or, for a list that is not resident,
    // those whose headers name the base record, in record order. Of a
    // non-resident $DATA split over several records only the piece that
    // starts at VCN 0 is kept: it holds the stream's sizes. What stops a
    // record from being read is said in diagnostics; what its own decoding
    // says is not (the record loop says it where it meets the record).
    void AddExtensionRecords(const unsigned char* mft_rec_buf, MFTFileRecord& record, Diagnostics& diagnostics)
    {
        if (record.attribute_list.attr_type == kAttrTypeAttributeList) {  // few records: the test stays inline
            AddListedRecords(mft_rec_buf, record, diagnostics);
        }
    }

private:
    void AddListedRecords(const unsigned char* mft_rec_buf, MFTFileRecord& record, Diagnostics& diagnostics);
    void FindListedRecords(const unsigned char* mft_rec_buf, const MFTFileRecord& record, Diagnostics& diagnostics);
    bool ReadExtensionRecord(std::uint64_t recno, const MFTFileRecord& record, Diagnostics& diagnostics);
    void TakeAttributes(MFTFileRecord& record);

    const RecordSource mft_file_;
    const ExtensionRecordIndex& index_;
    std::vector<unsigned char> buffer_;  // one record
    MFTFileRecord extension_;
    Diagnostics extension_lines_;  // dropped
    std::vector<AttributeListEntry> entries_;
    std::vector<std::uint64_t> recnos_;
};

#endif
