#include "app/record_preparation.h"

#include "base/log_message.h"
#include "mft/record_construction.h"

RecordPreparation::RecordPreparation(const RecordSource& mft_file, bool report_mode, bool body_file)
    : mft_file_(mft_file), report_mode_(report_mode)
{
    if (report_mode) {
        paths_ = std::make_unique<FullPathResolver>();
    }
    if (report_mode && body_file) {
        body_lines_ = std::make_unique<BodyFileLines>(mft_file);
    }
}

void RecordPreparation::Prepare(DecodedRecord& entry)
{
    if (!report_mode_) {
        return;
    }
    // A record whose decoding logged is decoded again by the walk, so that
    // the walk's lines come out as they would without the record at hand.
    entry.full_path = paths_->Resolve(mft_file_, entry.recno, entry.decoding_logged ? nullptr : &entry.record);
    if (body_lines_) {
        body_lines_->Make(entry.record, entry.full_path, entry.body_lines);
    }
}

// Whether decoding logged a line matters to the path walk.
bool DecodeRecordBlock(std::size_t record_size, unsigned char* buffer, DecodedRecord& entry)
{
    const ByteReader block(buffer, record_size);
    if (!HasFileSignature(block)) {
        LogMessageText(wxS("$MFT file record has an invalid MAGIC number."));
        return false;
    }
    // A record without attributes is skipped silently: decoding would check
    // its update sequence first, and could log.
    if (HasNoAttributes(block)) {
        return false;
    }
    MFTFileRecord& record = entry.record;
    record.Clear();
    const std::uint64_t lines_before = LoggedLineCount();
    const bool decoded = CreateMFTFileRecord(buffer, &record, entry.recno, record_size) == 0;
    entry.decoding_logged = LoggedLineCount() != lines_before;
    entry.named_base = decoded && record.mft_header.base_recno == 0 && !record.file_name_array.empty();
    return entry.named_base;
}
