#include "app/run_sequence.h"

#include <chrono>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/cmdline.h>
#include <wx/filefn.h>
#include <wx/msgout.h>

#include "app/command_line.h"
#include "app/console.h"
#include "app/format_count.h"
#include "app/input_verification.h"
#include "app/interrupt.h"
#include "app/log_setup.h"
#include "app/record_loop.h"
#include "app/run_outputs.h"
#include "app/run_state.h"
#include "archive/output_compression.h"
#include "archive/report_archive_draft.h"
#include "base/log_message.h"
#include "base/platform.h"
#include "app/run_settings.h"
#include "report/report_columns.h"
#include "text/utf8_text.h"

namespace {

// The usage text and the parser's own errors go to standard error.
class MessageOutputInstaller {
public:
    MessageOutputInstaller() { delete wxMessageOutput::Set(new wxMessageOutputStderr(stderr, wxConvUTF8)); }
    ~MessageOutputInstaller() { delete wxMessageOutput::Set(nullptr); }
};

// The parser takes a plain argument vector; it copies the strings.
void GiveArguments(wxCmdLineParser& parser, const wxArrayString& arguments)
{
    std::vector<std::wstring> copies(arguments.begin(), arguments.end());
    std::vector<wxChar*> pointers;
    for (std::wstring& argument : copies) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    parser.SetCmdLine(static_cast<int>(copies.size()), pointers.data());
}

// The listing modes' only output is standard output: a failed write there (a
// full disk behind a redirection) must not pass for a complete list. The log
// shares that stream, so the error also goes to standard error.
bool ListingWritten()
{
    FlushConsole();
    if (std::ferror(stdout) == 0) {
        return true;
    }
    const wxString text = wxS("Error writing to standard output.");
    LogErrorText(text);
    wxMessageOutput::Get()->Output(text);
    return false;
}

bool OpenInput(RunState& state)
{
    wxFileOffset length = 0;
    if (state.image_mft.stream) {
        state.mft_file = RecordSource(state.image_mft.stream, state.image_mft.record_size);
        length = static_cast<wxFileOffset>(state.image_mft.stream->Size());
    } else {
        if (!state.mft_input.Open(run_settings.mft_filename, wxFile::read)) {
            LogErrorText(wxS("Unable to open ") + run_settings.mft_filename + wxS(" $MFT file."));
            return false;
        }
        state.mft_file = RecordSource(state.mft_input.fd(), state.mft_record_size);
        length = state.mft_input.Length();
    }
    const std::size_t record_size = state.mft_file.record_size();
    state.mft_file_size = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    state.mft_record_count = state.mft_file_size / record_size;
    if (state.mft_file_size == 0) {
        LogErrorText(wxS("$MFT file ") + run_settings.mft_filename + wxS(" is empty."));
        return false;
    }
    if (state.mft_file_size % record_size != 0) {
        LogErrorText(wxS("$MFT file ") + run_settings.mft_filename + wxS(" verification failed."));
        return false;
    }
    if (state.ReportMode()) {
        if (state.image_mft.stream) {
            PrintText(state.image_mft.found);
        }
        PrintText(wxS("$MFT file is ") + FormatCount(state.formatter, state.mft_file_size) + wxS(" bytes.\n"));
        PrintText(wxS("$MFT file contains ") + FormatCount(state.formatter, state.mft_record_count) +
                  wxS(" file records.\n"));
        const std::uint64_t lost = state.image_mft.lost.count();
        if (lost != 0) {
            PrintText(wxS("The image holds ") + FormatCount(state.formatter, state.mft_record_count - lost) +
                      wxS(" of them.\n"));
        }
    }
    return true;
}

// With -z the report is deflated into its archive while it is written;
// without a draft the zip step fails. The draft's file is opened after every
// file of the run, so that each of those has the descriptor number its
// messages always gave; the header already written is handed over first.
void StartArchiveDraft(RunState& state)
{
    if (!run_settings.zip_output || !state.ReportMode()) {
        return;
    }
    const std::string header = ToUtf8(GetReportHeaderString(state.report_format));
    auto draft = std::make_unique<ReportArchiveDraft>();
    if (static_cast<long long>(header.size()) != state.report_file.BytesWritten() ||
        !draft->Start(run_settings.output_filename)) {
        return;
    }
    draft->Add(header.data(), header.size());
    state.archive_draft = draft.get();
    state.report_file.CopyTo(std::move(draft));
}

// The plain report is deleted next: the archive must be on the disk first.
bool ArchiveIsOnDisk(const wxString& zip_filename)
{
    wxFile archive(zip_filename, wxFile::read);
    if (archive.IsOpened() && platform::FlushToDisk(archive) != platform::DiskFlushResult::Failed) {
        return true;
    }
    LogErrorText(wxS("Unable to flush ") + zip_filename + wxS(" to disk."));
    return false;
}

// The archive replaces the report: a report left beside it must not pass
// unnoticed.
bool RemoveZippedReport(const wxString& report_name)
{
    if (wxRemoveFile(report_name)) {
        return true;
    }
    LogErrorText(wxS("Unable to remove ") + report_name + wxS(" after zipping it."));
    return false;
}

// Packs the report; on failure the plain report stays and is the output.
bool CompressReport(RunState& state)
{
    PrintText(wxS("Zipping output file.\n"));
    const wxString report_name = run_settings.output_filename;
    const wxString zip_filename = report_name + wxS(".zip");
    const bool packed = !RefuseArchiveName(state, zip_filename, report_name) &&
                        ZipOutputFile(zip_filename, report_name, state.archive_draft) == 0 &&
                        ArchiveIsOnDisk(zip_filename);
    // A signal caught by now leaves the report, and claims no archive.
    if (!packed || CaughtSignal() != 0) {
        return false;
    }
    run_settings.output_filename = zip_filename;
    return RemoveZippedReport(report_name);
}

// Closes the report, the body file and the JSON lines with what was written
// to them, each whatever became of the others; false after any failure
// (each logged).
bool CloseOutputs(RunState& state)
{
    bool closed = true;
    const auto close = [&closed](OutputFile& file, const wxString& name, const wxChar* kind) {
        if (!file.Close()) {
            LogErrorText(WriteFailureText(wxS("Error writing to ") + name + kind, file.SystemError()));
            closed = false;
        }
    };
    if (state.report_file.IsOpened()) {
        close(state.report_file, run_settings.output_filename, wxS(" report file"));
    }
    if (state.body_file) {
        close(*state.body_file, run_settings.body_filename, wxS(" body file"));
    }
    if (state.json_file) {
        close(*state.json_file, run_settings.json_filename, wxS(" JSON file"));
    }
    state.mft_input.Close();
    return closed;
}

// The run stopped for a caught signal; where says at what point.
int StopInterrupted(const wxString& where)
{
    LogErrorText(wxS("Interrupted by ") + SignalName(CaughtSignal()) + where);
    return InterruptedStatus(CaughtSignal());
}

// The record loop stopped for a caught signal, its threads joined: the
// outputs keep what was written, whole lines of the records before the
// stop; with -z no archive is made (its draft is dropped).
int StopInterruptedLoop(RunState& state)
{
    FlushConsole();
    CloseOutputs(state);
    return StopInterrupted(wxS(" at record ") +
                           wxString::Format(wxS("%llu"), static_cast<unsigned long long>(state.next_recno)) +
                           wxS(": the outputs are incomplete."));
}

// The counts the record loop kept, and the run's time so far.
void PrintSummary(RunState& state)
{
    const RunState::Counts& counts = state.counts;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - state.started).count();
    // The records lost before next_recno were never read.
    const LostRecords lost = LostRecords::Merged(state.image_mft.lost, state.read_lost);
    const std::vector<RecordRange> read = lost.Stretches(state.next_recno);
    std::uint64_t records_read = 0;
    for (const RecordRange& stretch : read) {
        records_read += stretch.end - stretch.first;
    }
    const std::uint64_t records_lost = state.next_recno - records_read;
    PrintText(wxS("Summary: ") + FormatCount(state.formatter, records_read) + wxS(" records read, ") +
              (records_lost == 0 ? wxString()
                                 : FormatCount(state.formatter, records_lost) + wxS(" records lost, ")) +
              FormatCount(state.formatter, counts.file_records) + wxS(" FILE records: ") +
              FormatCount(state.formatter, counts.in_use) + wxS(" in use, ") +
              FormatCount(state.formatter, counts.file_records - counts.in_use) + wxS(" not in use, ") +
              FormatCount(state.formatter, counts.extension) + wxS(" extension records, ") +
              FormatCount(state.formatter, counts.failed) + wxS(" failed decoding; ") +
              FormatCount(state.formatter, counts.rows) + wxS(" rows written; ") +
              wxString::Format(wxS("%.2f s.\n"), seconds));
}

int FinishRun(RunState& state)
{
    FlushConsole();
    if (state.ReportMode()) {
        PrintText(ProgressLine(state, state.mft_record_count, 100) + wxS("\n"));
    }
    if (!CloseOutputs(state)) {
        return -1;
    }
    // Lost records leave the outputs incomplete, yet they hold every record
    // that could be read: with -z the archive is made of them.
    const bool none_lost = LogLostRecords(state);
    const bool records_whole = LogMissingRecords(state) && none_lost;
    if (!state.ReportMode()) {
        return ListingWritten() && records_whole ? 0 : -1;
    }
    const bool output_complete = !run_settings.zip_output || CompressReport(state);
    if (run_settings.zip_output && CaughtSignal() != 0) {
        const wxString& report_name = run_settings.output_filename;
        return StopInterrupted(wxS(" while zipping ") + report_name + wxS(": the report is kept, and ") +
                               report_name + wxS(".zip may be incomplete."));
    }
    if (records_whole) {
        LogMessageText(wxS("$MFT dump complete."));
    }
    LogMessageText(wxS("Shutting down Varneth application."));
    if (records_whole) {
        PrintText(wxS("$MFT file processing complete.\n"));
    }
    PrintText(wxS("Output filename is ") + run_settings.output_filename + wxS("\n"));
    return output_complete && records_whole ? 0 : -1;
}

// From the record loop on, every run ends with the summary asked for, failed
// or not: its counts say how far it came.
int WithSummary(RunState& state, int status)
{
    if (run_settings.summary && state.ReportMode()) {
        PrintSummary(state);
    }
    return status;
}

int RunFromVerifiedInput(RunState& state)
{
    if (OutputsRefused(state) || !OpenInput(state)) {
        return -1;
    }
    if (!OpenOutputs(state)) {
        return -1;
    }
    StartArchiveDraft(state);
    LogMessageText(wxS("Processing $MFT file."));
    const InterruptWatch interrupt_watch;
    switch (RunRecordLoop(state)) {
    case LoopEnd::kFailed:
        return WithSummary(state, -1);
    case LoopEnd::kInterrupted:
        return WithSummary(state, StopInterruptedLoop(state));
    case LoopEnd::kDone:
        break;
    }
    return WithSummary(state, FinishRun(state));
}

// An $MFT file, as always; anything else is tried as a disk or volume
// image, and refused in the $MFT file's words when it is none.
bool OpenVerifiedInput(RunState& state)
{
    Diagnostics unread;
    switch (CheckMftFile(run_settings.mft_filename, &state.mft_record_size, &unread)) {
    case MftFileCheck::kRefused:
        return false;
    case MftFileCheck::kMftFile:
        if (run_settings.partition != 0) {
            LogErrorText(wxS("Option -p chooses an NTFS volume of a disk image; ") + run_settings.mft_filename +
                         wxS(" is an $MFT file."));
            return false;
        }
        if (run_settings.offset_given) {
            LogErrorText(wxS("Option --offset chooses an NTFS volume of an image by where it starts; ") +
                         run_settings.mft_filename + wxS(" is an $MFT file."));
            return false;
        }
        return true;
    case MftFileCheck::kNotMftFile:
        break;
    }
    const auto offset = run_settings.offset_given ? std::optional<std::uint64_t>(run_settings.volume_offset)
                                                  : std::nullopt;
    switch (OpenImageInput(run_settings.mft_filename, run_settings.partition, offset, state.formatter,
                           state.image_mft)) {
    case ImageOpenResult::kOpened:
        return true;
    case ImageOpenResult::kRefused:
        return false;
    case ImageOpenResult::kNotAnImage:
        break;
    }
    // A first record that could not be read may be why it is neither.
    LogDiagnostics(unread);
    LogNotAnMftFile(run_settings.mft_filename);
    return false;
}

}  // namespace

int RunVarneth(const wxArrayString& arguments)
{
    auto state = std::make_unique<RunState>();
    MessageOutputInstaller message_output;
    wxCmdLineParser parser;
    GiveArguments(parser, arguments);
    UseStandardErrorForConsole(false);
    if (ProcessCommandLine(parser) != 0) {
        FlushConsole();
        return -1;
    }
    UseStandardErrorForConsole(run_settings.json && run_settings.json_filename == wxS("-"));
    LogSetup log;
    log.StartConsoleLog();
    if (run_settings.debug_log && !log.StartDebugLog()) {
        return -1;
    }
    LogMessageText(wxS("Opening and verifying $MFT input file."));
    if (!OpenVerifiedInput(*state)) {
        return -1;
    }
    const int status = RunFromVerifiedInput(*state);
    FlushConsole();
    return status;
}
