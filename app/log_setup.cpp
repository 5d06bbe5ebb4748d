#include "app/log_setup.h"

#include <wx/log.h>

#include "app/console.h"
#include "base/log_message.h"
#include "base/platform.h"
#include "app/run_settings.h"

namespace {

const wxString kDebugLogName = wxS("varneth.log");

}  // namespace

wxString DebugLogName()
{
    return kDebugLogName;
}

LogSetup::~LogSetup()
{
    TearDown();
}

void LogSetup::StartConsoleLog()
{
    delete wxLog::SetActiveTarget(CreateConsoleLogTarget(ConsoleStream()));
    wxLog::SetTimestamp(wxS("%Y-%m-%d %H:%M:%S"));
    wxLog::SetLogLevel(run_settings.log_level);
    wxLog::SetVerbose(false);
    started_ = true;
    LogMessageText(wxS("Starting Varneth application."));
    LogMessageText(wxS("Processing commandline arguments."));
    LogMessageText(wxS("Creating logging objects."));
}

bool LogSetup::StartDebugLog()
{
    if (platform::IsSameFile(kDebugLogName, run_settings.mft_filename)) {
        LogErrorText(wxS("Output file ") + kDebugLogName + wxS(" is the $MFT input file."));
        return false;
    }
    debug_file_ = std::fopen(kDebugLogName.fn_str(), "w");
    // Without the file, the second target writes to standard error instead.
    chain_ = new wxLogChain(CreateConsoleLogTarget(debug_file_ != nullptr ? debug_file_ : stderr));
    return true;
}

void LogSetup::TearDown()
{
    if (!started_) {
        return;
    }
    started_ = false;
    LogCountedRepeats();
    // Deleting the chain makes the console target active again; delete that too.
    delete wxLog::SetActiveTarget(nullptr);
    delete wxLog::SetActiveTarget(nullptr);
    chain_ = nullptr;
    if (debug_file_ != nullptr) {
        std::fclose(debug_file_);
        debug_file_ = nullptr;
    }
}
