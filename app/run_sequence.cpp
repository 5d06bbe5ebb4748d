#include "app/run_sequence.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <wx/cmdline.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/msgout.h>

#include "app/command_line.h"
#include "app/console.h"
#include "app/format_count.h"
#include "app/input_verification.h"
#include "app/log_setup.h"
#include "app/record_loop.h"
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

bool RefuseOutputOnInput(const wxString& output_name)
{
    if (!platform::IsSameFile(output_name, run_settings.mft_filename)) {
        return false;
    }
    LogErrorText(wxS("Output file ") + output_name + wxS(" is the $MFT input file."));
    return true;
}

// With the debug switch the log file is open for the whole run: a report or
// archive written to it would be mixed with log lines.
bool RefuseOutputOnDebugLog(const wxString& output_name)
{
    if (!run_settings.debug_log || !wxFileExists(DebugLogName()) ||
        !platform::IsSameFile(output_name, DebugLogName())) {
        return false;
    }
    LogErrorText(wxS("Output file ") + output_name + wxS(" is the debug log file."));
    return true;
}

bool RefuseArchiveName(const wxString& zip_filename, const wxString& report_name)
{
    if (RefuseOutputOnInput(zip_filename) || RefuseOutputOnDebugLog(zip_filename)) {
        return true;
    }
    if (platform::IsSameFile(zip_filename, report_name)) {
        LogErrorText(wxS("Output file ") + zip_filename + wxS(" is the report file."));
        return true;
    }
    return false;
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

// The command line refuses the long and the short switch together.
ReportFormat RunReportFormat()
{
    if (run_settings.long_format) {
        return ReportFormat::kLong;
    }
    return run_settings.short_format ? ReportFormat::kShort : ReportFormat::kDefault;
}

bool OpenReport(RunState& state)
{
    const wxString& name = run_settings.output_filename;
    LogMessageText(wxS("Opening output file ") + name + wxS("."));
    if (RefuseOutputOnInput(name) || RefuseOutputOnDebugLog(name)) {
        return false;
    }
    if (!state.report_file.Open(name)) {
        LogErrorText(wxS("Error opening ") + name + wxS(" report file."));
        return false;
    }
    LogMessageText(wxS("Writing header row to report file"));
    state.report_format = RunReportFormat();
    // Written through at once, so that an unwritable report stops the run here.
    if (!state.report_file.Write(ToUtf8(GetReportHeaderString(state.report_format))) || !state.report_file.Flush()) {
        LogErrorText(wxS("Error writing header row to ") + name + wxS(" report file."));
        return false;
    }
    return true;
}

// The archive is made only at the end of the run, so its name is compared as
// well as the file it may already name.
bool NamesTheArchive(const wxString& name)
{
    const wxString zip_filename = run_settings.output_filename + wxS(".zip");
    wxFileName given(name);
    wxFileName archive(zip_filename);
    given.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
    archive.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
    return platform::IsSameFile(name, zip_filename) || given.GetFullPath() == archive.GetFullPath();
}

bool RefuseBodyFileName(const wxString& name)
{
    if (RefuseOutputOnInput(name) || RefuseOutputOnDebugLog(name)) {
        return true;
    }
    if (platform::IsSameFile(name, run_settings.output_filename)) {
        LogErrorText(wxS("Output file ") + name + wxS(" is the report file."));
        return true;
    }
    if (run_settings.zip_output && NamesTheArchive(name)) {
        LogErrorText(wxS("Output file ") + name + wxS(" is the archive file."));
        return true;
    }
    return false;
}

bool OpenBodyFile(RunState& state)
{
    const wxString& name = run_settings.body_filename;
    LogMessageText(wxS("Opening body file ") + name + wxS("."));
    if (RefuseBodyFileName(name)) {
        return false;
    }
    auto body_file = std::make_unique<OutputFile>();
    if (!body_file->Open(name)) {
        LogErrorText(wxS("Error opening ") + name + wxS(" body file."));
        return false;
    }
    state.body_file = std::move(body_file);
    return true;
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
    const bool packed = !RefuseArchiveName(zip_filename, report_name) &&
                        ZipOutputFile(zip_filename, report_name, state.archive_draft) == 0 &&
                        ArchiveIsOnDisk(zip_filename);
    if (!packed) {
        return false;
    }
    run_settings.output_filename = zip_filename;
    return RemoveZippedReport(report_name);
}

int FinishRun(RunState& state)
{
    FlushConsole();
    if (state.ReportMode()) {
        PrintText(ProgressLine(state, state.mft_record_count, 100) + wxS("\n"));
    }
    if (state.report_file.IsOpened() && !state.report_file.Close()) {
        LogErrorText(wxS("Error writing to ") + run_settings.output_filename + wxS(" report file."));
        state.mft_input.Close();
        return -1;
    }
    if (state.body_file && !state.body_file->Close()) {
        LogErrorText(wxS("Error writing to ") + run_settings.body_filename + wxS(" body file."));
        state.mft_input.Close();
        return -1;
    }
    state.mft_input.Close();
    if (!state.ReportMode()) {
        return ListingWritten() ? 0 : -1;
    }
    const bool output_complete = !run_settings.zip_output || CompressReport(state);
    LogMessageText(wxS("$MFT dump complete."));
    LogMessageText(wxS("Shutting down Varneth application."));
    PrintText(wxS("$MFT file processing complete.\n"));
    PrintText(wxS("Output filename is ") + run_settings.output_filename + wxS("\n"));
    return output_complete ? 0 : -1;
}

int RunFromVerifiedInput(RunState& state)
{
    if (!OpenInput(state)) {
        return -1;
    }
    if (state.ReportMode() && !OpenReport(state)) {
        return -1;
    }
    if (run_settings.body_file && !OpenBodyFile(state)) {
        return -1;
    }
    StartArchiveDraft(state);
    LogMessageText(wxS("Processing $MFT file."));
    if (!RunRecordLoop(state)) {
        return -1;
    }
    return FinishRun(state);
}

// An $MFT file, as always; anything else is tried as a disk or volume
// image, and refused in the $MFT file's words when it is none.
bool OpenVerifiedInput(RunState& state)
{
    switch (CheckMftFile(run_settings.mft_filename, &state.mft_record_size)) {
    case MftFileCheck::kRefused:
        return false;
    case MftFileCheck::kMftFile:
        if (run_settings.partition != 0) {
            LogErrorText(wxS("Option -p chooses an NTFS volume of a disk image; ") + run_settings.mft_filename +
                         wxS(" is an $MFT file."));
            return false;
        }
        return true;
    case MftFileCheck::kNotMftFile:
        break;
    }
    switch (OpenImageInput(run_settings.mft_filename, run_settings.partition, state.formatter, state.image_mft)) {
    case ImageOpenResult::kOpened:
        return true;
    case ImageOpenResult::kRefused:
        return false;
    case ImageOpenResult::kNotAnImage:
        break;
    }
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
    if (ProcessCommandLine(parser) != 0) {
        FlushConsole();
        return -1;
    }
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
