#include "app/record_loop.h"

#include <algorithm>
#include <vector>
#include <memory>
#include <string>
#include <string_view>

#include <wx/log.h>

#include "app/console.h"
#include "app/format_count.h"
#include "app/interrupt.h"
#include "pipeline/record_pipeline.h"
#include "pipeline/record_work.h"
#include "app/run_state.h"
#include "base/log_message.h"
#include "app/run_settings.h"

namespace {

constexpr std::uint64_t kProgressInterval = 25000;

enum class RecordOutcome { Done, Failed };

int ProgressPercent(std::uint64_t recno, std::uint64_t record_count)
{
    const double ratio = static_cast<double>(recno) / static_cast<double>(record_count);
    return static_cast<int>(static_cast<float>(ratio * 100.0));
}

RecordOutcome ReportWriteFailed(const OutputFile& file)
{
    LogErrorText(WriteFailureText(wxS("Error writing to ") + run_settings.output_filename + wxS(" report file"), file.SystemError()));
    return RecordOutcome::Failed;
}

RecordOutcome JsonWriteFailed(const OutputFile& file)
{
    LogErrorText(WriteFailureText(wxS("Error writing to ") + run_settings.json_filename + wxS(" JSON file"), file.SystemError()));
    return RecordOutcome::Failed;
}

RecordOutcome BodyWriteFailed(const OutputFile& file)
{
    LogErrorText(WriteFailureText(wxS("Error writing to ") + run_settings.body_filename + wxS(" body file"), file.SystemError()));
    return RecordOutcome::Failed;
}

// Hands bytes to a writer, which writes them out when its buffer is full.
bool WriteBytes(OutputFile& writer, std::string_view bytes)
{
    writer.Bytes() += bytes;
    return writer.LineDone();
}

// Where the bytes of one record are in its batch's texts.
struct RecordBytes {
    std::string_view report;
    std::string_view body;
    std::string_view listing;
};

RecordOutcome WriteReportRows(RunState& state, std::uint64_t recno, const RecordBytes& bytes)
{
    if (!WriteBytes(state.report_file, bytes.report)) {
        return ReportWriteFailed(state.report_file);
    }
    if (state.body_file && !WriteBytes(*state.body_file, bytes.body)) {
        return BodyWriteFailed(*state.body_file);
    }
    if (recno % kProgressInterval == 0) {
        PrintText(ProgressLine(state, recno, ProgressPercent(recno, state.mft_record_count)) + wxS("\r"));
        FlushConsole();
        if (!state.report_file.FlushToDisk()) {
            return ReportWriteFailed(state.report_file);
        }
        // The outputs beside the report need not be on the disk at each
        // progress line: they go on their way there while the run goes on.
        if (state.body_file && !state.body_file->WriteBackInBackground()) {
            return BodyWriteFailed(*state.body_file);
        }
        if (state.json_file && !state.json_file->WriteBackInBackground()) {
            return JsonWriteFailed(*state.json_file);
        }
    }
    return RecordOutcome::Done;
}

void Count(RunState::Counts& counts, const RecordOutput& output)
{
    ++counts.file_records;
    counts.in_use += output.in_use ? 1 : 0;
    counts.extension += output.extension ? 1 : 0;
    counts.failed += output.decoding_failed ? 1 : 0;
    counts.rows += output.report_rows;
}

// Lists or reports one named base record.
RecordOutcome UseRecord(RunState& state, std::uint64_t recno, const RecordBytes& bytes)
{
    if (!state.ReportMode()) {
        PrintBytes(bytes.listing);
        return RecordOutcome::Done;
    }
    return WriteReportRows(state, recno, bytes);
}

std::string_view Piece(const std::string& text, std::size_t& start, std::size_t end)
{
    const std::string_view piece(text.data() + start, end - start);
    start = end;
    return piece;
}

std::unique_ptr<RecordWorker> MakeWorker(const RunState& state, PathStepCache& step_cache,
                                         const ExtensionRecordIndex& extension_index)
{
    RecordWork::Settings settings;
    if (state.ReportMode()) {
        settings.report = state.report_format;
    }
    settings.body_file = state.body_file != nullptr;
    settings.host_name = run_settings.host_name;
    settings.streams_only = run_settings.dump_ads;
    settings.json = run_settings.json;
    settings.count = run_settings.summary;
    return std::make_unique<RecordWork>(state.mft_file, settings, step_cache, extension_index);
}

}  // namespace

wxString ProgressLine(RunState& state, std::uint64_t count, int percent)
{
    return wxString::Format(wxS("Records processed: %s  (%d%% Complete)"), FormatCount(state.formatter, count),
                            percent) +
           wxString(' ', 27);
}

// The pipeline's workers read, decode and make the bytes of every record
// (record_work), with its lines; this thread logs the lines, then writes,
// in record order, and looks for a caught signal before each batch.
LoopEnd RunRecordLoop(RunState& state)
{
    // The records the image has no bytes of are not read: they are named at the end.
    const std::vector<RecordRange> stretches = state.image_mft.lost.Stretches(state.mft_record_count);
    // Both outlive the workers.
    const ExtensionRecordIndex extension_index(state.mft_file, stretches);
    PathStepCache step_cache;
    RecordPipeline pipeline(state.mft_file, stretches, [&state, &step_cache, &extension_index]() {
        return MakeWorker(state, step_cache, extension_index);
    });
    while (const RecordBatch* batch = pipeline.Next()) {
        if (CaughtSignal() != 0) {
            return LoopEnd::kInterrupted;
        }
        std::size_t report_start = 0;
        std::size_t body_start = 0;
        std::size_t listing_start = 0;
        // The JSON lines go out a batch at a time, straight from the batch
        // (they are most of what a run with -j writes): those of the records
        // done, before the batch's end or the record that stops the run.
        std::size_t json_start = 0;
        std::size_t json_end = 0;
        const auto write_json = [&]() {
            if (state.json_file && !state.json_file->Write(Piece(batch->json, json_start, json_end))) {
                JsonWriteFailed(*state.json_file);
                return false;
            }
            return true;
        };
        // A run stopped inside a batch read up to the record that stopped it:
        // the summary counts that far.
        for (std::size_t i = 0; i < batch->size(); ++i) {
            const RecordOutput& output = (*batch)[i];
            if (output.input_ended) {
                // The file was measured before the loop: a short read means
                // a file that shrank, and the report is incomplete.
                LogDiagnostics(output.diagnostics);
                LogErrorText(wxS("Error reading $MFT file ") + run_settings.mft_filename + wxS(" at record ") +
                             wxString::Format(wxS("%llu"), static_cast<unsigned long long>(output.recno)) + wxS("."));
                write_json();
                state.next_recno = output.recno;
                return LoopEnd::kFailed;
            }
            if (output.read_failed) {
                // Lost, and named with the records lost beside it at the end.
                state.read_lost.Add(output.recno, output.recno + 1, LostWhy::kUnreadable,
                                    ReadFailureText(output.diagnostics));
                continue;
            }
            LogDiagnostics(output.diagnostics);
            const RecordBytes bytes{Piece(batch->report, report_start, output.report_end),
                                    Piece(batch->body, body_start, output.body_end),
                                    Piece(batch->listing, listing_start, output.listing_end)};
            if (output.named_base && UseRecord(state, output.recno, bytes) == RecordOutcome::Failed) {
                write_json();
                state.next_recno = output.recno;
                return LoopEnd::kFailed;
            }
            json_end = output.json_end;
            if (output.file_record) {
                Count(state.counts, output);
            }
        }
        if (!write_json()) {
            state.next_recno = batch->end_recno();
            return LoopEnd::kFailed;
        }
        state.file_records_read += batch->file_records();
        state.in_use_read += batch->in_use_records();
        state.next_recno = batch->end_recno();
    }
    state.next_recno = state.mft_record_count;  // those after the last batch were lost
    return LoopEnd::kDone;
}

namespace {

constexpr std::size_t kLostLinesShown = 20;

wxString LostText(RunState& state, const LostRange& range)
{
    const RecordRange& records = range.records;
    const bool one = records.end - records.first == 1;
    wxString text = one ? wxS("Record ") + FormatCount(state.formatter, records.first)
                        : wxS("Records ") + FormatCount(state.formatter, records.first) + wxS(" to ") +
                              FormatCount(state.formatter, records.end - 1);
    text += wxS(" of the $MFT ");
    switch (range.why) {
    case LostWhy::kPastImage:
        return text + (one ? wxS("lies") : wxS("lie")) + wxS(" past the end of the image.");
    case LostWhy::kNotLaidOut:
        return text + (one ? wxS("lies") : wxS("lie")) + wxS(" in no run of its run list.");
    case LostWhy::kUnreadable:
        break;
    }
    // The system's words have no full stop; a library's account may.
    return text + wxS("could not be read: ") + range.reason + (range.reason.EndsWith(wxS(".")) ? wxS("") : wxS("."));
}

}  // namespace

wxString ReadFailureText(const Diagnostics& read_lines)
{
    for (const DiagnosticLine& line : read_lines) {
        return line.system_error ? wxSysErrorMsgStr(static_cast<unsigned long>(*line.system_error)) : line.text;
    }
    return wxS("the read came back short");
}

bool LogLostRecords(RunState& state)
{
    const LostRecords lost = LostRecords::Merged(state.image_mft.lost, state.read_lost);
    if (lost.empty()) {
        return true;
    }
    const std::vector<LostRange>& ranges = lost.ranges();
    for (std::size_t i = 0; i < ranges.size() && i < kLostLinesShown; ++i) {
        LogErrorText(LostText(state, ranges[i]));
    }
    if (ranges.size() > kLostLinesShown) {
        const std::uint64_t further = ranges.size() - kLostLinesShown;
        LogErrorText(FormatCount(state.formatter, further) + (further == 1 ? wxS(" further range") : wxS(" further ranges")) +
                     wxS(" of records of the $MFT are lost."));
    }
    LogErrorText(wxS("The $MFT was read with ") + FormatCount(state.formatter, lost.count()) +
                 (lost.count() == 1 ? wxS(" record") : wxS(" records")) + wxS(" lost: the outputs are incomplete."));
    return false;
}

// A healthy volume marks in use about as many records as hold a FILE record
// in use: fewer than half of them read as such is no healthy $MFT.
bool LogMissingRecords(RunState& state)
{
    const wxString where = state.image_mft.stream
                               ? wxS("Volume at byte offset ") + FormatCount(state.formatter, state.image_mft.volume_offset)
                               : wxS("$MFT file ") + run_settings.mft_filename;
    if (state.file_records_read == 0) {
        // With every record lost, the lines of the lost ranges say why none was read.
        const LostRecords lost = LostRecords::Merged(state.image_mft.lost, state.read_lost);
        if (lost.count() < state.mft_record_count) {
            LogErrorText(where +
                         wxS(": the $MFT holds no FILE record: encrypted, wiped, or not where the boot sector says."));
        }
        return false;
    }
    if (!state.image_mft.bitmap) {
        return true;
    }
    const std::uint64_t marked =
        state.image_mft.bitmap->InUse(LostRecords::Merged(state.image_mft.lost, state.read_lost));
    if (state.in_use_read >= (marked + 1) / 2) {
        return true;
    }
    LogErrorText(where + wxS(": the $MFT's bitmap marks ") + FormatCount(state.formatter, marked) +
                 wxS(" records in use, but only ") + FormatCount(state.formatter, state.in_use_read) +
                 wxS(" FILE records in use were read: encrypted, wiped, or not where the boot sector says."));
    return false;
}
