#include "archive/report_archive_draft.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <wx/filename.h>
#include <wx/wfstream.h>

#include "archive/zip_entry_name.h"
#include "base/platform.h"

namespace {

// Where the local header keeps its DOS time and date (four bytes,
// little-endian); the draft starts with the header.
constexpr wxFileOffset kLocalHeaderTimeOffset = 10;

// Beside the report, on the disk chosen for the run's output, where the
// folder takes a file without a name; else in the temporary folder.
int OpenDraftFile(const wxString& report_name)
{
    wxFileName report(report_name);
    report.MakeAbsolute();
    const int fd = platform::OpenUnnamedFile(report.GetPath());
    return fd >= 0 ? fd : platform::OpenUnnamedFile(wxFileName::GetTempDir());
}

}  // namespace

// The draft's file as the zip stream writes to it. The zip stream goes on
// after a failed write (and writes its central directory field by field
// when it goes), and the file library logs every failed write: after the
// first one, or once the draft is dropped, nothing more reaches the file.
class ReportArchiveDraft::DraftStream final : public wxFileOutputStream {
public:
    explicit DraftStream(wxFile& file) : wxFileOutputStream(file) {}
    void Stop() { stopped_ = true; }

protected:
    size_t OnSysWrite(const void* buffer, size_t size) override
    {
        const size_t written = stopped_ ? 0 : wxFileOutputStream::OnSysWrite(buffer, size);
        if (written != size) {
            stopped_ = true;
            m_lasterror = wxSTREAM_WRITE_ERROR;
        }
        return written;
    }

private:
    bool stopped_ = false;
};

ReportArchiveDraft::ReportArchiveDraft() = default;

// A draft dropped unfinished (the run stopped early) is never read: the zip
// stream's end is not written to it.
ReportArchiveDraft::~ReportArchiveDraft()
{
    if (!finished_ && zip_ != nullptr) {
        file_stream_->Stop();
        zip_->Abandon();
    }
}

bool ReportArchiveDraft::Start(const wxString& report_name)
{
    const int fd = OpenDraftFile(report_name);
    if (fd < 0) {
        return false;
    }
    file_.Attach(fd);
    file_stream_ = std::make_unique<DraftStream>(file_);
    zip_ = std::make_unique<FastDeflateZipStream>(*file_stream_);
    // wx owns the entry; its time is set again when the report is finished.
    const wxString name = ZipEntryName(report_name);
    auto* entry = new wxZipEntry(name);
    // wx marks a name that is not plain ASCII as UTF-8, but says the entry
    // was made on MS-DOS, and unzip reads such names in the DOS code page
    // whatever the mark says. Made on Unix, as a file all may read, the name
    // reads as written; ASCII names keep the entry they always had.
    if (!name.IsAscii()) {
        entry->SetSystemMadeBy(wxZIP_SYSTEM_UNIX);
        entry->SetMode(0644);
    }
    failed_ = !zip_->PutNextEntry(entry) || !file_stream_->IsOk();
    entry_ = failed_ ? nullptr : entry;
    return !failed_;
}

void ReportArchiveDraft::Add(const char* bytes, std::size_t size)
{
    if (failed_ || zip_ == nullptr || size == 0) {
        return;
    }
    zip_->Write(bytes, size);
    failed_ = zip_->LastWrite() != size || !zip_->IsOk() || !file_stream_->IsOk();
}

bool ReportArchiveDraft::Finish(const wxDateTime& entry_time)
{
    if (failed_ || finished_ || zip_ == nullptr) {
        return false;
    }
    finished_ = true;
    // Close writes the central directory from the entry, then frees it.
    entry_->SetDateTime(entry_time);
    const bool closed = zip_->Close() && file_stream_->IsOk();
    entry_ = nullptr;
    failed_ = !closed || !StampLocalHeader(entry_time);
    return !failed_;
}

// The local header was written when the entry was started, with the time of
// that moment.
bool ReportArchiveDraft::StampLocalHeader(const wxDateTime& entry_time)
{
    const std::uint32_t dos_time = static_cast<std::uint32_t>(entry_time.GetAsDOS());
    const unsigned char bytes[] = {static_cast<unsigned char>(dos_time), static_cast<unsigned char>(dos_time >> 8),
                                   static_cast<unsigned char>(dos_time >> 16),
                                   static_cast<unsigned char>(dos_time >> 24)};
    return file_.Seek(kLocalHeaderTimeOffset) == kLocalHeaderTimeOffset &&
           file_.Write(bytes, sizeof bytes) == sizeof bytes;
}

bool ReportArchiveDraft::CopyTo(wxFFile& archive)
{
    if (!finished_ || failed_) {
        return false;
    }
    // A block of a megabyte at most, and no larger than the draft.
    const wxFileOffset length = file_.Length();
    std::vector<char> block(static_cast<std::size_t>(std::clamp<wxFileOffset>(length, 1, wxFileOffset{1} << 20)));
    for (std::uint64_t offset = 0;;) {
        const long long got = platform::ReadAt(file_.fd(), block.data(), block.size(), offset);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        // Written here rather than through the library, whose logging of a
        // failure may change errno: the caller reads the system's reason.
        const auto size = static_cast<std::size_t>(got);
        if (std::fwrite(block.data(), 1, size, archive.fp()) != size) {
            return false;
        }
        offset += size;
    }
}
