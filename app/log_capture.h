#ifndef VARNETH_APP_LOG_CAPTURE_H
#define VARNETH_APP_LOG_CAPTURE_H

#include <vector>

#include <wx/log.h>
#include <wx/string.h>

// A line logged in the decoding thread, kept until the main thread reaches
// the record it belongs to: the log and the console then show every line in
// the order, and with the time stamps, of a run in one thread.
struct CapturedLogLine {
    wxLogLevel level = wxLOG_Message;
    wxString text;  // as the line's target receives it, system error text included
    wxLogRecordInfo info;
    bool last_message = false;  // came through LogErrorText / LogWarningText
};

// The decoding thread's log target (wxLog::SetThreadActiveTarget): lines go
// to the list named last, none to a file or the console.
class LogCapture final : public wxLog {
public:
    void CollectInto(std::vector<CapturedLogLine>* lines) { lines_ = lines; }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo& info) override;

private:
    std::vector<CapturedLogLine>* lines_ = nullptr;
};

// Logs the lines in the calling thread, as they were first logged.
void ReplayLogLines(const std::vector<CapturedLogLine>& lines);

#endif
