#ifndef VARNETH_BASE_LOG_MESSAGE_H
#define VARNETH_BASE_LOG_MESSAGE_H

#include <wx/string.h>

#include "base/diagnostics.h"

// The last error or warning text logged by any part of the tool, in this
// thread (only the run's main thread logs).
extern thread_local wxString log_message;

// Store the text in log_message and log it at error / warning level. The text
// is logged literally: a '%' in a spliced-in file name is not a format.
void LogErrorText(const wxString& text);
void LogWarningText(const wxString& text);

// A warning line that every run shows, whatever the log level (what the
// image lacks of what the volume says).
void LogShownWarningText(const wxString& text);

// An error line followed by the system's text for error_code, as the file
// library logs its own failures (" (error 5: Input/output error)"). It does
// not go through log_message.
void LogSystemErrorText(const wxString& text, long error_code);

// Message-level lines do not go through log_message.
void LogMessageText(const wxString& text);

// Logs the lines an operation handed back, in their order, each as the call
// above of its level logs it; a line whose repeats are counted only the
// first time.
void LogDiagnostics(const Diagnostics& diagnostics);

// The lines that count the repeats held back, one for each kind; the count
// starts again.
void LogCountedRepeats();

#endif
