#ifndef VARNETH_ARCHIVE_REPORT_ARCHIVE_DRAFT_H
#define VARNETH_ARCHIVE_REPORT_ARCHIVE_DRAFT_H

#include <cstddef>
#include <memory>

#include <wx/datetime.h>
#include <wx/ffile.h>
#include <wx/file.h>
#include <wx/string.h>
#include <wx/zipstrm.h>

#include "archive/fast_deflate_zip_stream.h"
#include "base/output_file.h"

// The report's archive, deflated while the report is written: each block of
// report bytes goes to the deflating threads as it goes to the report's
// file, into a file without a name. The zip step finishes the draft and
// copies it, instead of reading the whole report back from the disk.
class ReportArchiveDraft final : public ByteSink {
public:
    ReportArchiveDraft();
    ~ReportArchiveDraft() override;
    ReportArchiveDraft(const ReportArchiveDraft&) = delete;
    ReportArchiveDraft& operator=(const ReportArchiveDraft&) = delete;

    // Opens the draft and its one entry, named after the report: beside the
    // report where its folder allows, else in the temporary folder. False
    // (and no draft) when neither takes a file without a name.
    bool Start(const wxString& report_name);
    // The report's next bytes, as they were written to its file.
    void Add(const char* bytes, std::size_t size) override;
    // Ends the archive, its entry stamped with entry_time in both the local
    // header and the central directory; false when any write to the draft
    // failed, now or before.
    bool Finish(const wxDateTime& entry_time);
    // Copies the finished archive to the start of archive; false when a read
    // or a write fails (errno then holds the system's code).
    bool CopyTo(wxFFile& archive);

private:
    class DraftStream;

    bool StampLocalHeader(const wxDateTime& entry_time);

    wxFile file_;
    std::unique_ptr<DraftStream> file_stream_;
    std::unique_ptr<FastDeflateZipStream> zip_;
    wxZipEntry* entry_ = nullptr;  // wx's, until the central directory is written
    bool failed_ = false;
    bool finished_ = false;
};

#endif
