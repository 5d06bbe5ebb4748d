#ifndef VARNETH_BASE_OUTPUT_FILE_H
#define VARNETH_BASE_OUTPUT_FILE_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <wx/file.h>
#include <wx/string.h>

#include "base/report_line_sink.h"

// The line of a failed write to an output: the text (without its full stop)
// and the system's reason for error_code when there is one, as in
// "Error writing to r.tsv report file: No space left on device."
wxString WriteFailureText(const wxString& text, int error_code);

// Takes a copy of every byte an output file writes, in order.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Add(const char* bytes, std::size_t size) = 0;
};

// An output file of the run (the report, the body file): UTF-8 lines are
// collected in a buffer so that a run of millions of rows costs
// a few thousand write calls, not one per row. Every failure (a short write,
// a failed close) is reported to the caller; nothing is dropped silently. Row
// lines are made in UTF-8 straight into the buffer (ReportLineSink).
class OutputFile final : public ReportLineSink {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the file, or creates it, without emptying it, so that a run
    // stopped before its first row leaves every output as it was; logs the
    // system's reason on failure.
    bool Open(const wxString& name);
    // Writes to a copy of the process's standard output instead (closing it
    // leaves standard output open).
    bool OpenStandardOutput();
    // Empties the file just opened (a device or a pipe has nothing to empty).
    bool Empty();
    // Closes without writing what is buffered, and removes the file when
    // Open created it: for a run that stops before it writes.
    void Discard();
    // From now on every byte handed to the file is also handed to copy. The
    // file owns it, so it is there for every flush, the last one in the
    // destructor included.
    void CopyTo(std::unique_ptr<ByteSink> copy) { copy_ = std::move(copy); }
    long long BytesWritten() const { return written_; }
    bool IsOpened() const { return file_.IsOpened(); }

    // Appends the bytes exactly as they are (they carry their own line end).
    bool Write(std::string_view bytes);
    // The buffer, to append one line to; then LineDone, which hands the
    // buffer to the file when it is full (false when that fails).
    std::string& Bytes() override { return buffer_; }
    bool LineDone() override;
    // Hands everything buffered to the file.
    bool Flush();
    // Flush, then force the data to the disk where the file supports it; the
    // pages so forced are then released from the system's cache.
    bool FlushToDisk();
    // Flush, wait for the bytes that the call before sent to the disk and
    // release their cached pages, then send those handed over since without
    // waiting: the disk writes while the run goes on, and the cache holds
    // at most two calls' worth.
    bool WriteBackInBackground();
    // Flush and close; false when either fails.
    bool Close();
    // The system's error code of the first write, flush to the disk or close
    // that failed since the file was opened; 0 when none failed or the
    // system gave none.
    int SystemError() const { return system_error_; }

private:
    // Hands bytes to the file, none buffered before them.
    bool WriteThrough(std::string_view bytes);
    // Keeps the first failure's code.
    void KeepError(int error)
    {
        if (system_error_ == 0) {
            system_error_ = error;
        }
    }

    wxFile file_;
    wxString name_;
    bool created_ = false;  // by Open
    std::string buffer_;
    bool failed_ = false;
    int system_error_ = 0;
    std::unique_ptr<ByteSink> copy_;
    long long written_ = 0;   // bytes handed to the file
    long long released_ = 0;  // bytes whose cached pages were released
    long long started_ = 0;   // bytes sent to the disk without waiting
};

#endif
