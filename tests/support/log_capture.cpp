#include "support/log_capture.h"

namespace varneth_test {

LogCapture::LogCapture()
    : previous_target_(wxLog::SetActiveTarget(this)), previous_level_(wxLog::GetLogLevel())
{
    wxLog::SetLogLevel(wxLOG_Max);
}

LogCapture::~LogCapture()
{
    wxLog::SetLogLevel(previous_level_);
    wxLog::SetActiveTarget(previous_target_);
}

std::vector<wxString> LogCapture::Texts() const
{
    std::vector<wxString> texts;
    for (const Line& line : lines_) {
        texts.push_back(line.text);
    }
    return texts;
}

std::vector<wxString> LogCapture::TextsAt(wxLogLevel level) const
{
    std::vector<wxString> texts;
    for (const Line& line : lines_) {
        if (line.level == level) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

void LogCapture::DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&)
{
    lines_.push_back({level, msg});
}

}  // namespace varneth_test
