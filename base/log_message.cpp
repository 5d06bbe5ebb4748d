#include "base/log_message.h"

#include <wx/log.h>

thread_local wxString log_message;

namespace {

thread_local std::uint64_t logged_lines = 0;

}  // namespace

void LogErrorText(const wxString& text)
{
    ++logged_lines;
    log_message = text;
    wxLogError("%s", log_message);
}

void LogWarningText(const wxString& text)
{
    ++logged_lines;
    log_message = text;
    wxLogWarning("%s", log_message);
}

std::uint64_t LoggedLineCount()
{
    return logged_lines;
}

void LogMessageText(const wxString& text)
{
    wxLogMessage("%s", text);
}
