#ifndef VARNETH_TESTS_SUPPORT_LOG_CAPTURE_H
#define VARNETH_TESTS_SUPPORT_LOG_CAPTURE_H

// Collects every log line sent while it lives: installs itself as the active
// wxLog target (every level let through) and puts the previous target and
// level back in its destructor.

#include <vector>

#include <wx/log.h>
#include <wx/string.h>

namespace varneth_test {

class LogCapture : public wxLog {
public:
    struct Line {
        wxLogLevel level;
        wxString text;
    };

    LogCapture();
    ~LogCapture() override;
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<Line>& lines() const { return lines_; }
    std::vector<wxString> Texts() const;                      // every level, in order
    std::vector<wxString> TextsAt(wxLogLevel level) const;    // one level, in order
    void Clear() { lines_.clear(); }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo& info) override;

private:
    std::vector<Line> lines_;
    wxLog* previous_target_;
    wxLogLevel previous_level_;
};

}  // namespace varneth_test

#endif
