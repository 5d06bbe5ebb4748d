#include "base/log_message.h"

#include <wx/time.h>

thread_local wxString log_message;

namespace {

thread_local std::uint64_t logged_lines = 0;
thread_local std::vector<KeptLogLine>* kept_lines = nullptr;
thread_local int silences = 0;

// False when the line was kept (or dropped) instead of logged.
bool KeepLine(wxLogLevel level, const wxString& text, std::optional<long> system_error, bool last_message)
{
    if (silences > 0) {
        return false;
    }
    if (kept_lines == nullptr) {
        return true;
    }
    // The level is set before the threads start and not changed after.
    if (level <= wxLog::GetLogLevel()) {
        kept_lines->push_back(KeptLogLine{level, text, system_error, wxGetUTCTimeMillis().GetValue(), last_message});
    }
    return false;
}

}  // namespace

void LogErrorText(const wxString& text)
{
    ++logged_lines;
    log_message = text;
    if (KeepLine(wxLOG_Error, text, std::nullopt, true)) {
        wxLogError("%s", log_message);
    }
}

void LogWarningText(const wxString& text)
{
    ++logged_lines;
    log_message = text;
    if (KeepLine(wxLOG_Warning, text, std::nullopt, true)) {
        wxLogWarning("%s", log_message);
    }
}

void LogSystemErrorText(const wxString& text, long error_code)
{
    if (KeepLine(wxLOG_Error, text, error_code, false)) {
        wxLogSysError(error_code, "%s", text);
    }
}

std::uint64_t LoggedLineCount()
{
    return logged_lines;
}

void LogMessageText(const wxString& text)
{
    if (KeepLine(wxLOG_Message, text, std::nullopt, false)) {
        wxLogMessage("%s", text);
    }
}

void KeepThreadLogLines(std::vector<KeptLogLine>* lines)
{
    kept_lines = lines;
}

SilentLog::SilentLog()
{
    ++silences;
}

SilentLog::~SilentLog()
{
    --silences;
}
