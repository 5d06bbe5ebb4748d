#include "app/log_capture.h"

#include "base/log_message.h"

void LogCapture::DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo& info)
{
    if (lines_ == nullptr) {
        return;
    }
    // The system error's text is already part of the line: the copy of the
    // record's details leaves its code out, so that replaying does not add
    // the text twice.
    wxLogRecordInfo details(info.filename, info.line, info.func, info.component);
    details.timestampMS = info.timestampMS;
#if WXWIN_COMPATIBILITY_3_0
    details.timestamp = info.timestamp;
#endif
    // LogErrorText keeps its text in log_message just before logging it.
    const bool last_message = (level == wxLOG_Error || level == wxLOG_Warning) && text == log_message;
    lines_->push_back(CapturedLogLine{level, text, details, last_message});
}

void ReplayLogLines(const std::vector<CapturedLogLine>& lines)
{
    for (const CapturedLogLine& line : lines) {
        if (line.last_message) {
            log_message = line.text;
        }
        wxLog::OnLog(line.level, line.text, line.info);
    }
}
