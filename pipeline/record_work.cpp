#include "pipeline/record_work.h"

#include "mft/record_construction.h"
#include "pipeline/string_line_sink.h"
#include "report/name_lists.h"
#include "text/utf8_text.h"

RecordWork::RecordWork(const RecordSource& mft_file, const Settings& settings, PathStepCache& step_cache,
                       const ExtensionRecordIndex& extension_index)
    : mft_file_(mft_file), settings_(settings), extensions_(mft_file, extension_index)
{
    if (settings.report) {
        paths_ = std::make_unique<FullPathResolver>(step_cache);
        paths_->ReadExtensionRecordsWith(&extensions_);
        rows_.emplace(*settings.report, settings.host_name);
    }
    if (settings.report && settings.body_file) {
        body_lines_ = std::make_unique<BodyFileLines>(mft_file);
    }
}

bool RecordWork::Make(unsigned char* block, RecordOutput& output, RecordBatch& batch)
{
    decoding_.clear();
    extension_lines_.clear();
    output.named_base = Decode(block, output.recno);
    output.diagnostics.Append(decoding_);
    if (!extension_lines_.empty()) {
        output.diagnostics.Append(extension_lines_);
    }
    if (output.named_base) {
        if (rows_) {
            MakeRows(output, batch);
        } else {
            MakeListing(output, batch);
        }
    }
    return output.named_base;
}

// Skips what is not a named base record and decodes the rest, with what its
// extension records hold (a name may live only there); true for a named
// base record.
bool RecordWork::Decode(unsigned char* buffer, std::uint64_t recno)
{
    const std::size_t record_size = mft_file_.record_size();
    const ByteReader block(buffer, record_size);
    if (!HasFileSignature(block)) {
        decoding_.Message(wxS("$MFT file record has an invalid MAGIC number."));
        return false;
    }
    // A record without attributes is skipped silently: decoding would check
    // its update sequence first, and could say something.
    if (HasNoAttributes(block)) {
        return false;
    }
    record_.Clear();
    if (CreateMFTFileRecord(buffer, &record_, recno, decoding_, record_size) != 0 ||
        IsExtensionRecord(record_.mft_header)) {
        return false;
    }
    extensions_.AddExtensionRecords(buffer, record_, extension_lines_);
    return !record_.file_name_array.empty();
}

void RecordWork::MakeRows(RecordOutput& output, RecordBatch& batch)
{
    // The walk starts from the record at hand and gives its decoding's
    // lines again, as a walk that read the record itself would.
    const FullPathResolver::OwnRecord own{record_, decoding_};
    const WalkedPath& path = paths_->Resolve(mft_file_, output.recno, &own, output.diagnostics);
    StringLineSink report(batch.report);
    if (rows_->AppendMFTRecordRows(report, &record_, path.text(), output.diagnostics) == ReportRowsResult::kWritten &&
        body_lines_) {
        body_lines_->Append(record_, path, batch.body);
    }
}

void RecordWork::MakeListing(RecordOutput& output, RecordBatch& batch)
{
    if ((record_.mft_header.record_flags & kRecordIsDirectory) != 0) {
        return;
    }
    for (const wxString& name : GetMFTRecordWin32FileName(&record_, settings_.streams_only, output.diagnostics)) {
        AppendUtf8(batch.listing, name);
        batch.listing.push_back('\n');
    }
}
