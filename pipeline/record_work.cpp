#include "pipeline/record_work.h"

#include "mft/attribute_walk.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"
#include "report/json_record.h"
#include "pipeline/string_line_sink.h"
#include "report/name_lists.h"
#include "text/utf8_text.h"

namespace {

// The header alone, for the record's line and the counts: read quietly, as
// decoding says what it has to say of the record.
void ReadHeaderOnly(const unsigned char* buffer, MFTRecordHeader& header, std::size_t record_size)
{
    Diagnostics unsaid;
    GetMFTRecHeader(buffer, &header, unsaid, record_size);
}

}  // namespace

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
        body_lines_ = std::make_unique<BodyFileLines>(mft_file, &extensions_);
    }
}

bool RecordWork::Make(unsigned char* block, RecordOutput& output, RecordBatch& batch)
{
    decoding_.clear();
    extension_lines_.clear();
    const Decoded decoded = Decode(block, output.recno);
    if (decoded != Decoded::kNoSignature) {
        // The header's flags, which the fixups leave as they are.
        ByteReader header(block, mft_file_.record_size());
        batch.CountFileRecord((header.U16At(record_header_field::kRecordFlags) & kRecordInUse) != 0);
    }
    output.named_base = decoded == Decoded::kBase && !record_.file_name_array.empty();
    output.diagnostics.Append(decoding_);
    // A damaged record keeps what its walk read before the break (a row, when
    // a name came before it); the break is said once, here, not by the path
    // walk's repeat of the decoding's lines.
    const bool damaged = decoded != Decoded::kNoSignature &&
                         record_.walk_break.cause != AttributeWalkBreak::Cause::kNone;
    if (damaged) {
        output.diagnostics.Error(AttributeWalkBreakText(output.recno, record_.walk_break));
    }
    if (!extension_lines_.empty()) {
        output.diagnostics.Append(extension_lines_);
    }
    const WalkedPath* path = nullptr;
    if (output.named_base) {
        if (rows_) {
            path = &MakeRows(output, batch);
        } else {
            MakeListing(output, batch);
        }
    }
    if ((settings_.json || settings_.count) && decoded != Decoded::kNoSignature) {
        if (settings_.json) {
            MakeJson(output.recno, decoded, damaged, path, output, batch);
        }
        Note(decoded, damaged, output);
        return true;
    }
    return output.named_base;
}

// Skips what is not a base record and decodes the rest, with what its
// extension records hold (a name may live only there).
RecordWork::Decoded RecordWork::Decode(unsigned char* buffer, std::uint64_t recno)
{
    const std::size_t record_size = mft_file_.record_size();
    const ByteReader block(buffer, record_size);
    if (!HasFileSignature(block)) {
        decoding_.Message(wxS("$MFT file record has an invalid MAGIC number."));
        return Decoded::kNoSignature;
    }
    record_.Clear();
    // A record without attributes is skipped silently: decoding would check
    // its update sequence first, and could say something.
    if (HasNoAttributes(block)) {
        if (settings_.json || settings_.count) {
            ReadHeaderOnly(buffer, record_.mft_header, record_size);
        }
        return Decoded::kNoAttributes;
    }
    if (CreateMFTFileRecord(buffer, &record_, recno, decoding_, record_size) != 0) {
        // An update sequence that does not match stops decoding before the
        // header, whose bytes it does not cover.
        if (settings_.json || settings_.count) {
            ReadHeaderOnly(buffer, record_.mft_header, record_size);
        }
        return Decoded::kFailed;
    }
    if (IsExtensionRecord(record_.mft_header)) {
        return Decoded::kExtension;
    }
    extensions_.AddExtensionRecords(buffer, record_, extension_lines_);
    return Decoded::kBase;
}

const WalkedPath& RecordWork::MakeRows(RecordOutput& output, RecordBatch& batch)
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
    output.report_rows = report.lines();
    return path;
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

void RecordWork::MakeJson(std::uint64_t recno, Decoded decoded, bool damaged, const WalkedPath* path,
                          RecordOutput& output, RecordBatch& batch)
{
    JsonRecordView view;
    view.recno = recno;
    view.record = &record_;
    view.decoded =
        !damaged && (decoded == Decoded::kBase || decoded == Decoded::kExtension || decoded == Decoded::kNoAttributes);
    view.path = path;
    view.lines = &output.diagnostics;
    AppendJsonRecord(batch.json, view);
}

void RecordWork::Note(Decoded decoded, bool damaged, RecordOutput& output) const
{
    output.file_record = true;
    output.in_use = (record_.mft_header.record_flags & kRecordInUse) != 0;
    output.extension = decoded == Decoded::kExtension;
    output.decoding_failed = decoded == Decoded::kFailed || damaged;
}
