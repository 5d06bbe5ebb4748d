#ifndef VARNETH_ARCHIVE_REPORT_ARCHIVE_DRAFT_H
#define VARNETH_ARCHIVE_REPORT_ARCHIVE_DRAFT_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include <wx/ffile.h>
#include <wx/file.h>
#include <wx/string.h>
#include <wx/wfstream.h>

#include "archive/fast_deflate_zip_stream.h"
#include "base/output_file.h"

// The report's archive, deflated while the report is written: each block of
// report bytes goes to the deflating threads as it goes to the file, into a
// file without a name in the report's folder. The zip step then copies the
// draft instead of reading the whole report back from the disk and
// deflating it alone after the run. A draft counts only when it holds
// exactly what packing the finished report would give; otherwise the zip
// step packs the report as it always did.
class ReportArchiveDraft final : public ByteSink {
public:
    ReportArchiveDraft() = default;
    ReportArchiveDraft(const ReportArchiveDraft&) = delete;
    ReportArchiveDraft& operator=(const ReportArchiveDraft&) = delete;

    // Opens the draft and its one entry; false (and no draft) when the
    // report's folder takes no file without a name.
    bool Start(const wxString& report_name);
    // The report's next bytes, as they were written to its file.
    void Add(const char* bytes, std::size_t size) override;
    // Ends the archive; true when it holds the report as packing it would,
    // the report being report_size bytes long now.
    bool Finish(std::uint64_t report_size);
    // Copies the finished archive to the start of archive; false when a read
    // or a write fails.
    bool CopyTo(wxFFile& archive);

private:
    bool TakesBytesAsTheyAre(const char* bytes, std::size_t size) const;

    wxFile file_;
    std::unique_ptr<wxFileOutputStream> file_stream_;
    std::unique_ptr<FastDeflateZipStream> zip_;
    std::uint64_t added_ = 0;
    char last_byte_ = 0;
    bool usable_ = false;
    bool finished_ = false;
};

#endif
