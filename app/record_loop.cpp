#include "app/record_loop.h"

#include "app/console.h"
#include "app/log_message.h"
#include "app/run_settings.h"
#include "app/run_state.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"
#include "report/name_lists.h"
#include "report/report_rows.h"
#include "util/full_path.h"

namespace {

constexpr std::uint64_t kProgressInterval = 25000;

enum class RecordOutcome { Done, Failed };

bool BeginsWithFileSignature(const unsigned char* buffer)
{
    return buffer[0] == 'F' && buffer[1] == 'I' && buffer[2] == 'L' && buffer[3] == 'E';
}

void PrintNames(const wxArrayString& names)
{
    for (const wxString& name : names) {
        PrintLine(name);
    }
}

int ProgressPercent(std::uint64_t recno, std::uint64_t record_count)
{
    const double ratio = static_cast<double>(recno) / static_cast<double>(static_cast<std::int64_t>(record_count));
    return static_cast<int>(static_cast<float>(ratio * 100.0));
}

RecordOutcome WriteReportRows(RunState& state, std::uint64_t recno)
{
    state.full_path = GetFullPathString(state.mft_file, recno);
    const wxArrayString rows = GetMFTRecordTabStringArr(&state.record, state.full_path);
    for (const wxString& row : rows) {
        if (!state.report_file.Write(row)) {
            LogErrorText(wxS("Error writing to ") + run_settings.output_filename + wxS(" report file."));
            return RecordOutcome::Failed;
        }
    }
    if (recno % kProgressInterval == 0) {
        PrintText(ProgressLine(state, recno, ProgressPercent(recno, state.mft_record_count)) + wxS("\r"));
        FlushConsole();
        if (!state.report_file.FlushToDisk()) {
            LogErrorText(wxS("Error writing to ") + run_settings.output_filename + wxS(" report file."));
            return RecordOutcome::Failed;
        }
    }
    return RecordOutcome::Done;
}

// One block: skip what is not a named base record, then list or report it.
RecordOutcome ProcessRecord(RunState& state, std::uint64_t recno)
{
    unsigned char* buffer = state.mft_rec_buf.data();
    if (!BeginsWithFileSignature(buffer)) {
        LogMessageText(wxS("$MFT file record has an invalid MAGIC number."));
        return RecordOutcome::Done;
    }
    state.header.Clear();
    if (GetMFTRecHeader(buffer, &state.header) != 0 || state.header.next_attr_id == 0) {
        return RecordOutcome::Done;
    }
    state.record.Clear();
    if (CreateMFTFileRecord(buffer, &state.record, recno) != 0) {
        return RecordOutcome::Done;
    }
    if (state.record.mft_header.base_recno != 0 || state.record.file_name_array.empty()) {
        return RecordOutcome::Done;
    }
    const bool directory = (state.record.mft_header.record_flags & kRecordIsDirectory) != 0;
    if (run_settings.dump_filenames || run_settings.dump_ads) {
        if (!directory) {
            PrintNames(GetMFTRecordWin32FileName(&state.record, run_settings.dump_ads));
        }
        return RecordOutcome::Done;
    }
    return WriteReportRows(state, recno);
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
    // The counter is 64-bit: a 32-bit one would wrap on a $MFT of 4 TiB and never end.
    for (std::uint64_t recno = 0; recno < state.mft_record_count; ++recno) {
        state.mft_rec_buf.fill(0);
        if (state.mft_file.Read(state.mft_rec_buf.data(), kMftRecordSize) != static_cast<ssize_t>(kMftRecordSize)) {
            // The file was measured before the loop: a short read means a
            // failing disk or a file that shrank, and the report is incomplete.
            LogErrorText(wxS("Error reading $MFT file ") + run_settings.mft_filename + wxS(" at record ") +
                         wxString::Format(wxS("%llu"), static_cast<unsigned long long>(recno)) + wxS("."));
            return false;
        }
        if (ProcessRecord(state, recno) == RecordOutcome::Failed) {
            return false;
        }
    }
    return true;
}
