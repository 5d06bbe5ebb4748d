#include "archive/output_compression.h"

#include <wx/datetime.h>
#include <wx/ffile.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include <cerrno>
#include <cstdio>

#include "archive/report_archive_draft.h"
#include "base/log_message.h"
#include "base/output_file.h"

namespace {

const wxChar* const archive_uncreated_text = wxS("ZipOutputFile() - zip_filename could not be created.");
// Without its full stop: the system's reason may follow.
const wxChar* const archive_unwritten_lead = wxS("ZipOutputFile() - zip_filename could not be written");
const wxChar* const archive_unclosed_text = wxS("ZipOutputFile() - zip_filename could not be closed.");
const wxChar* const archive_kept_text = wxS("ZipOutputFile() - partial zip_filename could not be removed.");

int Fail(const wxString& text)
{
    LogErrorText(text);
    return -1;
}

// The line of a failed write to the archive, with the system's reason (the
// code the failed call left) when the archive's own stream failed, not the
// draft it is copied from.
wxString UnwrittenText(const wxFFile& archive, int error_code)
{
    return WriteFailureText(archive_unwritten_lead, archive.Error() ? error_code : 0);
}

// The report was finished when the zip step began, which is now.
wxString CopyDraft(wxFFile& archive, ReportArchiveDraft* draft)
{
    const bool copied = draft != nullptr && draft->Finish(wxDateTime::Now()) && draft->CopyTo(archive);
    const int error_code = errno;
    return copied ? wxString() : UnwrittenText(archive, error_code);
}

// Buffered bytes reach the file only here, so a full disk often shows first
// in the flush. wxFFile::Close keeps its FILE pointer when fclose fails and
// would close it again later; the pointer is dead by then, so it is dropped.
wxString CloseArchive(wxFFile& archive)
{
    // The library's flush logs its failure, and logging may change errno:
    // the stream is flushed here first, for the system's reason.
    errno = 0;
    const bool flushed_here = std::fflush(archive.fp()) == 0;
    const int flush_error = errno;
    const bool flushed = archive.Flush() && flushed_here;
    const wxString unwritten = flushed ? wxString() : UnwrittenText(archive, flush_error);
    const bool closed = archive.Close();
    if (!closed) {
        archive.Detach();
    }
    if (!flushed) {
        return unwritten;
    }
    return closed ? wxString() : wxString(archive_unclosed_text);
}

// Leaves nothing that could pass for a good archive. A file this call created
// is removed; one that was there before (and was emptied by the open) is only
// emptied again; devices and pipes are not touched.
void DiscardPartialArchive(const wxString& zip_filename, bool existed)
{
    if (!wxFileExists(zip_filename)) {
        return;
    }
    const bool discarded = existed ? wxFile().Create(zip_filename, true) : wxRemoveFile(zip_filename);
    if (!discarded) {
        LogErrorText(archive_kept_text);
    }
}

}  // namespace

int ZipOutputFile(const wxString& zip_filename, const wxString& output_filename, ReportArchiveDraft* draft)
{
    if (output_filename.empty()) {
        return Fail(wxS("ZipOutputFile() - output_filename is empty."));
    }
    if (zip_filename.empty()) {
        return Fail(wxS("ZipOutputFile() - zip_filename is empty."));
    }
    if (!wxFileExists(output_filename)) {
        return Fail(wxS("ZipOutputFile() - output_filename does not exist."));
    }
    const bool existed = wxFileName::Exists(zip_filename, wxFILE_EXISTS_ANY | wxFILE_EXISTS_NO_FOLLOW);
    wxFFile archive(zip_filename, wxS("w+b"));
    if (!archive.IsOpened()) {
        return Fail(archive_uncreated_text);
    }
    wxString failure = CopyDraft(archive, draft);
    const wxString close_failure = CloseArchive(archive);
    if (failure.empty()) {
        failure = close_failure;
    }
    if (failure.empty()) {
        return 0;
    }
    LogErrorText(failure);
    DiscardPartialArchive(zip_filename, existed);
    return -1;
}
