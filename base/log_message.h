#ifndef VARNETH_BASE_LOG_MESSAGE_H
#define VARNETH_BASE_LOG_MESSAGE_H

#include <cstdint>

#include <wx/string.h>

// The last error or warning text composed by any part of the tool, in this
// thread (the record loop decodes in a thread of its own).
extern thread_local wxString log_message;

// Store the text in log_message and log it at error / warning level. The text
// is logged literally: a '%' in a spliced-in file name is not a format.
void LogErrorText(const wxString& text);
void LogWarningText(const wxString& text);

// How many lines the two above have logged so far in this thread: the count
// before and after a step tells whether the step logged (a decoded record
// that logged must be decoded again wherever it is needed, so that its lines
// come out again).
std::uint64_t LoggedLineCount();

// Message-level lines do not go through log_message, nor count.
void LogMessageText(const wxString& text);

#endif
