#include "base/log_message.h"

#include <wx/log.h>

wxString log_message;

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

void LogMessageText(const wxString& text)
{
    wxLogMessage("%s", text);
}
