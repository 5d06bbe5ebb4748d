#ifndef VARNETH_BASE_LOG_MESSAGE_H
#define VARNETH_BASE_LOG_MESSAGE_H

#include <cstdint>
#include <optional>
#include <vector>

#include <wx/log.h>
#include <wx/string.h>

// The last error or warning text composed by any part of the tool, in this
// thread (the record loop reads records in threads of its own).
extern thread_local wxString log_message;

// Store the text in log_message and log it at error / warning level. The text
// is logged literally: a '%' in a spliced-in file name is not a format.
void LogErrorText(const wxString& text);
void LogWarningText(const wxString& text);

// An error line followed by the system's text for error_code, as the file
// library logs its own failures (" (error 5: Input/output error)"). It does
// not go through log_message, nor count.
void LogSystemErrorText(const wxString& text, long error_code);

// How many lines LogErrorText and LogWarningText have logged so far in this
// thread: the count before and after a step tells whether the step logged (a
// decoded record that logged must be decoded again wherever it is needed, so
// that its lines come out again).
std::uint64_t LoggedLineCount();

// Message-level lines do not go through log_message, nor count.
void LogMessageText(const wxString& text);

// A line kept instead of logged. The record loop's threads keep their lines
// with the record they belong to, and the main thread logs them when it
// reaches that record, so that the log reads as if one thread had done
// everything.
struct KeptLogLine {
    wxLogLevel level = wxLOG_Message;
    wxString text;
    std::optional<long> system_error;  // LogSystemErrorText's code
    wxLongLong_t time_ms = 0;          // when it was logged
    bool last_message = false;         // it went through log_message
};

// From now on this thread's lines that the log level lets through go to the
// list instead of the log; null: to the log again.
void KeepThreadLogLines(std::vector<KeptLogLine>* lines);

// While one lives, this thread logs nothing; log_message and the count still
// follow its lines.
class SilentLog {
public:
    SilentLog();
    ~SilentLog();
    SilentLog(const SilentLog&) = delete;
    SilentLog& operator=(const SilentLog&) = delete;
};

#endif
