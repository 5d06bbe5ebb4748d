#include "app/run_outputs.h"

#include <memory>

#include <wx/filefn.h>

#include "app/log_setup.h"
#include "app/run_settings.h"
#include "app/run_state.h"
#include "base/log_message.h"
#include "base/platform.h"
#include "report/report_columns.h"
#include "text/utf8_text.h"

namespace {

// Outputs are compared by where their bytes would go: a link that leads
// nowhere yet leads to the file writing through it would create. The other
// segments of a split or EWF image are evidence as much as the one named.
bool RefuseOutputOnInput(const RunState& state, const wxString& output_name)
{
    // A disk or a partition may be the evidence, or hold it: no output is
    // ever written to one.
    const platform::FileKind kind = platform::KindOfFile(output_name);
    if (kind == platform::FileKind::kBlockDevice) {
        LogErrorText(wxS("Output file ") + output_name + wxS(" is a block device."));
        return true;
    }
    if (kind == platform::FileKind::kDirectory) {
        LogErrorText(wxS("Output file ") + output_name + wxS(" is a directory."));
        return true;
    }
    if (platform::IsSameDestination(output_name, run_settings.mft_filename)) {
        LogErrorText(wxS("Output file ") + output_name + wxS(" is the $MFT input file."));
        return true;
    }
    for (const wxString& file : state.image_mft.files) {
        if (platform::IsSameDestination(output_name, file)) {
            LogErrorText(wxS("Output file ") + output_name + wxS(" is a segment of the input image."));
            return true;
        }
    }
    return false;
}

// With the debug switch the log file is open for the whole run: a report or
// archive written to it would be mixed with log lines.
bool RefuseOutputOnDebugLog(const wxString& output_name)
{
    if (!run_settings.debug_log || !wxFileExists(DebugLogName()) ||
        !platform::IsSameDestination(output_name, DebugLogName())) {
        return false;
    }
    LogErrorText(wxS("Output file ") + output_name + wxS(" is the debug log file."));
    return true;
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
    if (RefuseOutputOnInput(state, name) || RefuseOutputOnDebugLog(name)) {
        return false;
    }
    // The archive's name is known now: a run that could not make it is
    // refused before it reads a record, not after.
    if (run_settings.zip_output && RefuseArchiveName(state, name + wxS(".zip"), name)) {
        return false;
    }
    if (!state.report_file.Open(name)) {
        LogErrorText(wxS("Error opening ") + name + wxS(" report file."));
        return false;
    }
    LogMessageText(wxS("Writing header row to report file"));
    state.report_format = RunReportFormat();
    // Held until every output is open (StartOutputs).
    state.report_file.Bytes() = ToUtf8(GetReportHeaderString(state.report_format));
    return true;
}

// An output beside the report lands on none of the others: the input, the
// debug log, the report, the archive (made only at the end of the run), and,
// for an output opened after it, the body file.
bool RefuseOutputBesideReport(const RunState& state, const wxString& name, bool after_body_file)
{
    if (RefuseOutputOnInput(state, name) || RefuseOutputOnDebugLog(name)) {
        return true;
    }
    if (platform::IsSameDestination(name, run_settings.output_filename)) {
        LogErrorText(wxS("Output file ") + name + wxS(" is the report file."));
        return true;
    }
    if (run_settings.zip_output && platform::IsSameDestination(name, run_settings.output_filename + wxS(".zip"))) {
        LogErrorText(wxS("Output file ") + name + wxS(" is the archive file."));
        return true;
    }
    if (after_body_file && run_settings.body_file && platform::IsSameDestination(name, run_settings.body_filename)) {
        LogErrorText(wxS("Output file ") + name + wxS(" is the body file."));
        return true;
    }
    return false;
}

bool OpenBodyFile(RunState& state)
{
    const wxString& name = run_settings.body_filename;
    LogMessageText(wxS("Opening body file ") + name + wxS("."));
    if (RefuseOutputBesideReport(state, name, false)) {
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

bool IsStandardOutput(const wxString& name)
{
    return name == wxS("-");
}

bool OpenJsonFile(RunState& state)
{
    const wxString& name = run_settings.json_filename;
    LogMessageText(wxS("Opening JSON file ") + name + wxS("."));
    auto json_file = std::make_unique<OutputFile>();
    if (IsStandardOutput(name)) {
        if (!json_file->OpenStandardOutput()) {
            LogErrorText(wxS("Error opening standard output for the JSON lines."));
            return false;
        }
    } else {
        if (RefuseOutputBesideReport(state, name, true)) {
            return false;
        }
        if (!json_file->Open(name)) {
            LogErrorText(wxS("Error opening ") + name + wxS(" JSON file."));
            return false;
        }
    }
    state.json_file = std::move(json_file);
    return true;
}

// Nothing is emptied before every output is open: a run refused on its body
// file leaves the report of an earlier run as it was. The header is written
// through at once, so that an unwritable report stops the run here.
bool StartOutputs(RunState& state)
{
    if (state.ReportMode() && (!state.report_file.Empty() || !state.report_file.Flush())) {
        LogErrorText(WriteFailureText(wxS("Error writing header row to ") + run_settings.output_filename +
                                          wxS(" report file"),
                                      state.report_file.SystemError()));
        return false;
    }
    if (state.body_file && !state.body_file->Empty()) {
        LogErrorText(wxS("Error opening ") + run_settings.body_filename + wxS(" body file."));
        return false;
    }
    if (state.json_file && !IsStandardOutput(run_settings.json_filename) && !state.json_file->Empty()) {
        LogErrorText(wxS("Error opening ") + run_settings.json_filename + wxS(" JSON file."));
        return false;
    }
    return true;
}

}  // namespace

bool RefuseArchiveName(const RunState& state, const wxString& zip_filename, const wxString& report_name)
{
    if (RefuseOutputOnInput(state, zip_filename) || RefuseOutputOnDebugLog(zip_filename)) {
        return true;
    }
    if (platform::IsSameDestination(zip_filename, report_name)) {
        LogErrorText(wxS("Output file ") + zip_filename + wxS(" is the report file."));
        return true;
    }
    return false;
}

bool OutputsRefused(const RunState& state)
{
    const wxString& report = run_settings.output_filename;
    if (state.ReportMode() && (RefuseOutputOnInput(state, report) || RefuseOutputOnDebugLog(report) ||
                               (run_settings.zip_output && RefuseArchiveName(state, report + wxS(".zip"), report)))) {
        return true;
    }
    return (run_settings.body_file && RefuseOutputBesideReport(state, run_settings.body_filename, false)) ||
           (run_settings.json && !IsStandardOutput(run_settings.json_filename) &&
            RefuseOutputBesideReport(state, run_settings.json_filename, true));
}

bool OpenOutputs(RunState& state)
{
    if ((state.ReportMode() && !OpenReport(state)) || (run_settings.body_file && !OpenBodyFile(state)) ||
        (run_settings.json && !OpenJsonFile(state)) || !StartOutputs(state)) {
        state.report_file.Discard();
        if (state.body_file) {
            state.body_file->Discard();
        }
        if (state.json_file) {
            state.json_file->Discard();
        }
        return false;
    }
    return true;
}

