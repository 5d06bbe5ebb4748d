#ifndef VARNETH_APP_REPORT_WRITER_H
#define VARNETH_APP_REPORT_WRITER_H

#include <string>

#include <wx/file.h>
#include <wx/string.h>

#include "report/report_rows.h"

class ReportArchiveDraft;

// The report file: lines are converted to UTF-8 and collected in a buffer so
// that a run of millions of rows costs a few thousand write calls, not one
// per row. Every failure (a short write, a failed close) is reported to the
// caller; nothing is dropped silently. Row lines are made in UTF-8 straight
// into the buffer (ReportLineSink).
class ReportWriter final : public ReportLineSink {
public:
    ReportWriter();
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Creates or empties the file (the library logs its own line on failure).
    bool Open(const wxString& name);
    // From now on every byte handed to the file is also handed to the draft.
    void CopyTo(ReportArchiveDraft* draft) { draft_ = draft; }
    long long BytesWritten() const { return written_; }
    bool IsOpened() const { return file_.IsOpened(); }

    // Appends the text exactly as it is (it carries its own line end).
    bool Write(const wxString& text);
    // The buffer, to append one line to; then LineDone, which hands the
    // buffer to the file when it is full (false when that fails).
    std::string& Bytes() override { return buffer_; }
    bool LineDone() override;
    // Hands everything buffered to the file.
    bool Flush();
    // Flush, then force the data to the disk where the file supports it; the
    // pages so forced are then released from the system's cache.
    bool FlushToDisk();
    // Flush and close; false when either fails.
    bool Close();

private:
    wxFile file_;
    std::string buffer_;
    bool failed_ = false;
    ReportArchiveDraft* draft_ = nullptr;
    long long written_ = 0;   // bytes handed to the file
    long long released_ = 0;  // bytes whose cached pages were released
};

#endif
