#include "app/record_loop.h"

#include <string>

#include "app/console.h"
#include "app/format_count.h"
#include "app/log_capture.h"
#include "app/record_pipeline.h"
#include "app/record_preparation.h"
#include "app/run_state.h"
#include "base/log_message.h"
#include "base/run_settings.h"
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

bool WriteBodyLines(ReportWriter& body_file, const std::string& lines)
{
    body_file.Bytes() += lines;
    return body_file.LineDone();
}

RecordOutcome WriteReportRows(RunState& state, DecodedRecord& entry)
{
    const ReportRowsResult rows =
        state.report_rows->AppendMFTRecordRows(state.report_file, &entry.record, entry.full_path);
    if (rows == ReportRowsResult::kSinkFailed) {
        return ReportWriteFailed();
    }
    if (rows == ReportRowsResult::kWritten && state.body_file && !WriteBodyLines(*state.body_file, entry.body_lines)) {
        return BodyWriteFailed();
    }
    if (entry.recno % kProgressInterval == 0) {
        PrintText(ProgressLine(state, entry.recno, ProgressPercent(entry.recno, state.mft_record_count)) + wxS("\r"));
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

// Lists or reports one named base record.
RecordOutcome UseRecord(RunState& state, DecodedRecord& entry)
{
    if (!state.ReportMode()) {
        if ((entry.record.mft_header.record_flags & kRecordIsDirectory) == 0) {
            PrintNames(GetMFTRecordWin32FileName(&entry.record, run_settings.dump_ads));
        }
        return RecordOutcome::Done;
    }
    return WriteReportRows(state, entry);
}

}  // namespace

wxString ProgressLine(RunState& state, std::uint64_t count, int percent)
{
    return wxString::Format(wxS("Records processed: %s  (%d%% Complete)"), FormatCount(state.formatter, count),
                            percent) +
           wxString(' ', 27);
}

// The pipeline's threads read, decode and walk (record_preparation); this
// thread logs what they logged, then writes, in record order.
bool RunRecordLoop(RunState& state)
{
    const std::size_t record_size = state.mft_file.record_size();
    RecordPreparation preparation(state.mft_file, state.ReportMode(), state.body_file != nullptr);
    RecordPipeline pipeline(
        state.mft_file, state.mft_record_count,
        [record_size](unsigned char* block, DecodedRecord& entry) {
            return DecodeRecordBlock(record_size, block, entry);
        },
        [&preparation](DecodedRecord& entry) { preparation.Prepare(entry); });
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
            if (entry.named_base && UseRecord(state, entry) == RecordOutcome::Failed) {
                return false;
            }
        }
    }
    return true;
}
