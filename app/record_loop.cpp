#include "app/record_loop.h"

#include <memory>

#include "app/console.h"
#include "app/format_count.h"
#include "app/run_state.h"
#include "base/log_message.h"
#include "base/run_settings.h"
#include "mft/record_construction.h"
#include "mft/record_sequence.h"
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
                              const MFTFileRecord* own_record)
{
    const std::string& full_path = paths.Resolve(state.mft_file, recno, own_record);
    const ReportRowsResult rows = state.report_rows->AppendMFTRecordRows(state.report_file, &state.record, full_path);
    if (rows == ReportRowsResult::kSinkFailed) {
        return ReportWriteFailed();
    }
    if (rows == ReportRowsResult::kWritten && state.body_file &&
        !state.body_file->AppendRecord(state.mft_file, state.record, full_path)) {
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

// Whether decoding logged a line matters to the path walk, which must then
// decode the record again itself so that the line comes out again.
bool DecodeRecord(RunState& state, std::uint64_t recno, unsigned char* buffer, bool& logged)
{
    const std::uint64_t lines_before = LoggedLineCount();
    const bool decoded = CreateMFTFileRecord(buffer, &state.record, recno, state.mft_file.record_size()) == 0;
    logged = LoggedLineCount() != lines_before;
    return decoded;
}

// One block: skip what is not a named base record, then list or report it.
RecordOutcome ProcessRecord(RunState& state, FullPathResolver& paths, std::uint64_t recno, unsigned char* buffer)
{
    const ByteReader block(buffer, state.mft_file.record_size());
    if (!HasFileSignature(block)) {
        LogMessageText(wxS("$MFT file record has an invalid MAGIC number."));
        return RecordOutcome::Done;
    }
    // A record without attributes is skipped silently: decoding would check
    // its update sequence first, and could log.
    if (HasNoAttributes(block)) {
        return RecordOutcome::Done;
    }
    state.record.Clear();
    bool decoding_logged = false;
    if (!DecodeRecord(state, recno, buffer, decoding_logged)) {
        return RecordOutcome::Done;
    }
    if (state.record.mft_header.base_recno != 0 || state.record.file_name_array.empty()) {
        return RecordOutcome::Done;
    }
    const bool directory = (state.record.mft_header.record_flags & kRecordIsDirectory) != 0;
    if (!state.ReportMode()) {
        if (!directory) {
            PrintNames(GetMFTRecordWin32FileName(&state.record, run_settings.dump_ads));
        }
        return RecordOutcome::Done;
    }
    return WriteReportRows(state, paths, recno, decoding_logged ? nullptr : &state.record);
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
    RecordSequence records(state.mft_file, state.mft_record_count);
    const auto paths = std::make_unique<FullPathResolver>();
    // The counter is 64-bit: a 32-bit one would wrap on a $MFT of 4 TiB and never end.
    for (std::uint64_t recno = 0; recno < state.mft_record_count; ++recno) {
        unsigned char* block = records.Next();
        if (block == nullptr) {
            // The file was measured before the loop: a short read means a
            // failing disk or a file that shrank, and the report is incomplete.
            LogErrorText(wxS("Error reading $MFT file ") + run_settings.mft_filename + wxS(" at record ") +
                         wxString::Format(wxS("%llu"), static_cast<unsigned long long>(recno)) + wxS("."));
            return false;
        }
        if (ProcessRecord(state, *paths, recno, block) == RecordOutcome::Failed) {
            return false;
        }
    }
    return true;
}
