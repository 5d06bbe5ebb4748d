#include "app/record_loop.h"

#include <memory>

#include "app/console.h"
#include "app/format_count.h"
#include "app/record_pipeline.h"
#include "app/run_state.h"
#include "base/log_message.h"
#include "base/run_settings.h"
#include "mft/record_construction.h"
#include "mft/record_source.h"
#include "path/full_path_resolver.h"
#include "report/name_lists.h"
#include "report/report_rows.h"

namespace {

constexpr std::uint64_t kProgressInterval = 25000;

enum class RecordOutcome { Done, Failed };

void PrintNames(const wxArrayString& names)
{
    for (const wxString& name : names) {
        PrintLine(name);
    }
}

int ProgressPercent(std::uint64_t recno, std::uint64_t record_count)
{
    const double ratio = static_cast<double>(recno) / static_cast<double>(record_count);
    return static_cast<int>(static_cast<float>(ratio * 100.0));
}

RecordOutcome ReportWriteFailed()
{
    LogErrorText(wxS("Error writing to ") + run_settings.output_filename + wxS(" report file."));
    return RecordOutcome::Failed;
}

RecordOutcome BodyWriteFailed()
{
    LogErrorText(wxS("Error writing to ") + run_settings.body_filename + wxS(" body file."));
    return RecordOutcome::Failed;
}

// own_record: the decoded record, when decoding it logged nothing.
RecordOutcome WriteReportRows(RunState& state, FullPathResolver& paths, std::uint64_t recno,
                              MFTFileRecord& record, const MFTFileRecord* own_record)
{
    const std::string& full_path = paths.Resolve(state.mft_file, recno, own_record);
    const ReportRowsResult rows = state.report_rows->AppendMFTRecordRows(state.report_file, &record, full_path);
    if (rows == ReportRowsResult::kSinkFailed) {
        return ReportWriteFailed();
    }
    if (rows == ReportRowsResult::kWritten && state.body_file &&
        !state.body_file->AppendRecord(state.mft_file, record, full_path)) {
        return BodyWriteFailed();
    }
    if (recno % kProgressInterval == 0) {
        PrintText(ProgressLine(state, recno, ProgressPercent(recno, state.mft_record_count)) + wxS("\r"));
        FlushConsole();
        if (!state.report_file.FlushToDisk()) {
            return ReportWriteFailed();
        }
        if (state.body_file && !state.body_file->FlushToDisk()) {
            return BodyWriteFailed();
        }
    }
    return RecordOutcome::Done;
}

// Runs in the pipeline's worker: skips what is not a named base record and
// decodes the rest. Whether decoding logged a line matters to the path walk,
// which must then decode the record again itself so that the line comes out
// again.
bool DecodeBlock(std::size_t record_size, unsigned char* buffer, DecodedRecord& entry)
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

// Lists or reports one named base record.
RecordOutcome UseRecord(RunState& state, FullPathResolver& paths, DecodedRecord& entry)
{
    const bool directory = (entry.record.mft_header.record_flags & kRecordIsDirectory) != 0;
    if (!state.ReportMode()) {
        if (!directory) {
            PrintNames(GetMFTRecordWin32FileName(&entry.record, run_settings.dump_ads));
        }
        return RecordOutcome::Done;
    }
    return WriteReportRows(state, paths, entry.recno, entry.record, entry.decoding_logged ? nullptr : &entry.record);
}

}  // namespace

wxString ProgressLine(RunState& state, std::uint64_t count, int percent)
{
    return wxString::Format(wxS("Records processed: %s  (%d%% Complete)"), FormatCount(state.formatter, count),
                            percent) +
           wxString(' ', 27);
}

bool RunRecordLoop(RunState& state)
{
    const std::size_t record_size = state.mft_file.record_size();
    RecordPipeline pipeline(state.mft_file, state.mft_record_count,
                            [record_size](unsigned char* block, DecodedRecord& entry) {
                                return DecodeBlock(record_size, block, entry);
                            });
    const auto paths = std::make_unique<FullPathResolver>();
    while (RecordBatch* batch = pipeline.Next()) {
        for (std::size_t i = 0; i < batch->size(); ++i) {
            DecodedRecord& entry = (*batch)[i];
            ReplayLogLines(entry.log_lines);
            if (entry.read_failed) {
                // The file was measured before the loop: a short read means a
                // failing disk or a file that shrank, and the report is incomplete.
                LogErrorText(wxS("Error reading $MFT file ") + run_settings.mft_filename + wxS(" at record ") +
                             wxString::Format(wxS("%llu"), static_cast<unsigned long long>(entry.recno)) + wxS("."));
                return false;
            }
            if (entry.named_base && UseRecord(state, *paths, entry) == RecordOutcome::Failed) {
                return false;
            }
        }
    }
    return true;
}
