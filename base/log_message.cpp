#include "base/log_message.h"

#include <wx/log.h>

thread_local wxString log_message;

void LogErrorText(const wxString& text)
{
    log_message = text;
    wxLogError("%s", log_message);
}

void LogWarningText(const wxString& text)
{
    log_message = text;
    wxLogWarning("%s", log_message);
}

void LogSystemErrorText(const wxString& text, long error_code)
{
    wxLogSysError(error_code, "%s", text);
}

void LogMessageText(const wxString& text)
{
    wxLogMessage("%s", text);
}

void LogDiagnostics(const Diagnostics& diagnostics)
{
    for (const DiagnosticLine& line : diagnostics) {
        if (line.system_error) {
            LogSystemErrorText(line.text, *line.system_error);
        } else if (line.level == DiagnosticLevel::kError) {
            LogErrorText(line.text);
        } else if (line.level == DiagnosticLevel::kWarning) {
            LogWarningText(line.text);
        } else {
            LogMessageText(line.text);
        }
    }
}
