#ifndef VARNETH_BASE_LOG_MESSAGE_H
#define VARNETH_BASE_LOG_MESSAGE_H

#include <wx/string.h>

// The last error or warning text composed by any part of the tool.
extern wxString log_message;

// Store the text in log_message and log it at error / warning level. The text
// is logged literally: a '%' in a spliced-in file name is not a format.
void LogErrorText(const wxString& text);
void LogWarningText(const wxString& text);

// Message-level lines do not go through log_message.
void LogMessageText(const wxString& text);

#endif
