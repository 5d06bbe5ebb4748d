#include "archive/report_archive_draft.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <wx/datetime.h>
#include <wx/filename.h>
#include <wx/textbuf.h>

#include "archive/zip_entry_name.h"
#include "base/platform.h"

bool ReportArchiveDraft::Start(const wxString& report_name)
{
    // Packing rewrites each line with the native line end; the report's own
    // lines end in LF, so only there are its bytes the entry's bytes.
    if (wxString(wxTextBuffer::GetEOL()) != wxS("\n")) {
        return false;
    }
    wxFileName report(report_name);
    report.MakeAbsolute();
    const int fd = platform::OpenUnnamedFile(report.GetPath());
    if (fd < 0) {
        return false;
    }
    file_.Attach(fd);
    file_stream_ = std::make_unique<wxFileOutputStream>(file_);
    zip_ = std::make_unique<FastDeflateZipStream>(*file_stream_);
    usable_ = zip_->PutNextEntry(ZipEntryName(report_name), wxDateTime::Now()) && file_stream_->IsOk();
    return usable_;
}

// Packing passes a UTF-8 report on byte for byte when no byte-order mark
// starts it and every line ends in a lone LF; anything else it would change.
bool ReportArchiveDraft::TakesBytesAsTheyAre(const char* bytes, std::size_t size) const
{
    if (added_ == 0 && size > 0) {
        const auto first = static_cast<unsigned char>(bytes[0]);
        if (first == 0 || first >= 0x80) {
            return false;
        }
    }
    return std::memchr(bytes, '\r', size) == nullptr;
}

void ReportArchiveDraft::Add(const char* bytes, std::size_t size)
{
    if (!usable_ || size == 0) {
        return;
    }
    usable_ = TakesBytesAsTheyAre(bytes, size);
    if (usable_) {
        zip_->Write(bytes, size);
        usable_ = zip_->LastWrite() == size && zip_->IsOk() && file_stream_->IsOk();
        last_byte_ = bytes[size - 1];
    }
    added_ += size;
}

bool ReportArchiveDraft::Finish(std::uint64_t report_size)
{
    if (!finished_) {
        finished_ = true;
        usable_ = usable_ && added_ == report_size && added_ > 0 && last_byte_ == '\n' && zip_->Close() &&
                  file_stream_->IsOk();
    }
    return usable_;
}

bool ReportArchiveDraft::CopyTo(wxFFile& archive)
{
    if (!finished_ || !usable_) {
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
        const auto size = static_cast<std::size_t>(got);
        if (archive.Write(block.data(), size) != size) {
            return false;
        }
        offset += size;
    }
}
