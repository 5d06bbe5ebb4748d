#ifndef VARNETH_APP_BACKGROUND_WRITER_H
#define VARNETH_APP_BACKGROUND_WRITER_H

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

#include <wx/string.h>

#include "app/report_writer.h"
#include "report/report_rows.h"

// Lines are collected in one buffer while a worker thread hands the buffer
// before it to a ReportWriter (the write calls, and forcing the data to the
// disk), so the record loop goes on making lines meanwhile. A failure shows
// at the next hand-over, flush or close; the worker logs nothing, its caller
// names the file.
class BackgroundWriter final : public ReportLineSink {
public:
    BackgroundWriter();
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Creates or empties the file (the library logs its own line on failure).
    bool Open(const wxString& name) { return writer_.Open(name); }
    std::string& Bytes() override { return filling_; }
    bool LineDone() override { return filling_.size() < kHandOverSize || HandOver(Job::kWrite); }
    // What is collected goes to the file and is forced to the disk.
    bool FlushToDisk() { return HandOver(Job::kWriteToDisk); }
    // Everything written and the file closed; false when anything failed.
    bool Close();

private:
    enum class Job { kNone, kWrite, kWriteToDisk, kStop };
    static constexpr std::size_t kHandOverSize = 1 << 20;

    bool HandOver(Job job);
    void Work();

    ReportWriter writer_;
    std::string filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Job job_ = Job::kNone;
    bool failed_ = false;
    std::thread worker_;  // last: started when everything it uses is made
};

#endif
