#include "base/output_file.h"

#include <cerrno>

#include <wx/filefn.h>
#include <wx/log.h>

#include "base/log_message.h"
#include "base/platform.h"

namespace {

constexpr std::size_t kBufferLimit = 1 << 20;

}  // namespace

wxString WriteFailureText(const wxString& text, int error_code)
{
    return error_code == 0 ? text + wxS(".") : text + wxS(": ") + wxSysErrorMsgStr(error_code) + wxS(".");
}

// The buffer grows with what is written and keeps its room once the first
// megabyte has gone out: a writer that is never opened (the listing modes
// make one for the report and one for the body file) or a small report
// asks for no whole megabyte up front.
OutputFile::OutputFile() = default;

OutputFile::~OutputFile()
{
    if (file_.IsOpened()) {
        Close();
    }
}

bool OutputFile::Open(const wxString& name)
{
    buffer_.clear();
    failed_ = false;
    system_error_ = 0;
    written_ = 0;
    released_ = 0;
    name_ = name;
    if (file_.IsOpened()) {
        file_.Close();
    }
    const int fd = platform::OpenForWriting(name, created_);
    if (fd < 0) {
        const int error = errno;
        // In the words the file library uses for its own failed opens.
        LogSystemErrorText(wxString::Format(wxS("can't open file '%s'"), name), error);
        return false;
    }
    file_.Attach(fd);
    return true;
}

bool OutputFile::OpenStandardOutput()
{
    buffer_.clear();
    failed_ = false;
    system_error_ = 0;
    written_ = 0;
    released_ = 0;
    name_.clear();
    created_ = false;
    if (file_.IsOpened()) {
        file_.Close();
    }
    const int fd = platform::DuplicateStandardOutput();
    if (fd < 0) {
        LogSystemErrorText(wxS("can't open standard output"), errno);
        return false;
    }
    file_.Attach(fd);
    return true;
}

bool OutputFile::Empty()
{
    if (!file_.IsOpened()) {
        return false;
    }
    const bool emptied = platform::EmptyRegularFile(file_);
    if (!emptied) {
        KeepError(errno);
    }
    return emptied;
}

void OutputFile::Discard()
{
    buffer_.clear();
    if (!file_.IsOpened()) {
        return;
    }
    file_.Close();
    if (created_) {
        wxRemoveFile(name_);
    }
}

bool OutputFile::Write(std::string_view bytes)
{
    if (failed_ || !file_.IsOpened()) {
        return false;
    }
    if (bytes.size() < kBufferLimit / 4) {
        buffer_ += bytes;
        return LineDone();
    }
    // A large piece goes to the file as it stands, after what is buffered,
    // rather than through a copy.
    return Flush() && WriteThrough(bytes);
}

bool OutputFile::LineDone()
{
    return !failed_ && file_.IsOpened() && (buffer_.size() < kBufferLimit || Flush());
}

bool OutputFile::WriteThrough(std::string_view bytes)
{
    // A write to a pipe that a caught signal cut short goes on where it
    // stopped; one that stops again (a full disk) has failed, and the
    // library logged the first failed call only.
    file_.ClearLastError();
    std::size_t written = file_.Write(bytes.data(), bytes.size());
    KeepError(file_.GetLastError());
    while (written != 0 && written < bytes.size()) {
        const long long more = platform::WriteSome(file_.fd(), bytes.data() + written, bytes.size() - written);
        if (more <= 0) {
            KeepError(more < 0 ? errno : 0);
            break;
        }
        written += static_cast<std::size_t>(more);
    }
    failed_ = written != bytes.size();
    written_ += static_cast<long long>(written);
    if (copy_ != nullptr) {
        copy_->Add(bytes.data(), written);
    }
    return !failed_;
}

bool OutputFile::Flush()
{
    if (failed_ || !file_.IsOpened()) {
        return false;
    }
    if (!buffer_.empty()) {
        WriteThrough(buffer_);
        buffer_.clear();
    }
    return !failed_;
}

bool OutputFile::FlushToDisk()
{
    if (!Flush()) {
        return false;
    }
    const platform::DiskFlushResult result = platform::FlushToDisk(file_);
    failed_ = result == platform::DiskFlushResult::Failed;
    if (failed_) {
        KeepError(errno);
    }
    if (result == platform::DiskFlushResult::Flushed) {
        platform::ReleaseFlushedPages(file_, released_, written_);
        released_ = written_;
    }
    return !failed_;
}

bool OutputFile::WriteBackInBackground()
{
    if (!Flush()) {
        return false;
    }
    const platform::DiskFlushResult finished = platform::FinishWriteBack(file_, released_, started_);
    if (finished == platform::DiskFlushResult::Flushed) {
        platform::ReleaseFlushedPages(file_, released_, started_);
        released_ = started_;
    }
    const int finish_error = errno;
    const platform::DiskFlushResult started = platform::StartWriteBack(file_, started_, written_);
    started_ = written_;
    if (finished == platform::DiskFlushResult::Failed) {
        KeepError(finish_error);
    } else if (started == platform::DiskFlushResult::Failed) {
        KeepError(errno);
    }
    failed_ = finished == platform::DiskFlushResult::Failed || started == platform::DiskFlushResult::Failed;
    return !failed_;
}

bool OutputFile::Close()
{
    if (!file_.IsOpened()) {
        return !failed_;
    }
    const bool flushed = Flush();
    file_.ClearLastError();
    const bool closed = file_.Close();
    if (!closed) {
        KeepError(file_.GetLastError());
    }
    buffer_.clear();
    return flushed && closed;
}
