#include "archive/output_compression.h"

#include <string>

#include <wx/datetime.h>
#include <wx/ffile.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/textbuf.h>
#include <wx/wfstream.h>
#include <wx/zipstrm.h>

#include "app/report_line_reader.h"
#include "archive/fast_deflate_zip_stream.h"
#include "archive/report_archive_draft.h"
#include "archive/zip_entry_name.h"
#include "base/log_message.h"
#include "base/run_settings.h"

namespace {

const wxChar* const report_unopened_text = wxS("ZipOutputFile() - output_filename could not be opened.");
const wxChar* const report_unread_text = wxS("ZipOutputFile() - output_filename could not be read.");
const wxChar* const report_not_text = wxS("ZipOutputFile() - output_filename is not valid text.");
const wxChar* const archive_uncreated_text = wxS("ZipOutputFile() - zip_filename could not be created.");
const wxChar* const archive_unwritten_text = wxS("ZipOutputFile() - zip_filename could not be written.");
const wxChar* const archive_unclosed_text = wxS("ZipOutputFile() - zip_filename could not be closed.");
const wxChar* const archive_kept_text = wxS("ZipOutputFile() - partial zip_filename could not be removed.");

int Fail(const wxString& text)
{
    LogErrorText(text);
    return -1;
}

wxString CopyLines(ReportLineReader& reader, wxOutputStream& zip, const wxOutputStream& file_stream)
{
    const std::string line_end(wxString(wxTextBuffer::GetEOL()).utf8_str());
    std::string lines;
    for (;;) {
        const ReadStatus status = reader.NextLines(lines, line_end);
        if (status == ReadStatus::end) {
            return wxString();
        }
        if (status != ReadStatus::line) {
            return status == ReadStatus::bad_text ? report_not_text : report_unread_text;
        }
        zip.Write(lines.data(), lines.size());
        if (zip.LastWrite() != lines.size() || !zip.IsOk() || !file_stream.IsOk()) {
            return archive_unwritten_text;
        }
    }
}

// Closing the zip stream writes the entry's trailer and the central
// directory. On failure the stream's destructor still closes it; the caller
// then discards what was written.
wxString WriteArchive(wxFFile& archive, ReportLineReader& reader, const wxString& entry_name)
{
    wxFFileOutputStream file_stream(archive);
    FastDeflateZipStream zip(file_stream);
    if (!zip.PutNextEntry(entry_name, wxDateTime::Now()) || !file_stream.IsOk()) {
        return archive_unwritten_text;
    }
    const wxString failure = CopyLines(reader, zip, file_stream);
    if (!failure.empty()) {
        return failure;
    }
    if (!zip.Close() || !file_stream.IsOk()) {
        return archive_unwritten_text;
    }
    return wxString();
}

wxString CopyDraft(wxFFile& archive, ReportArchiveDraft& draft)
{
    return draft.CopyTo(archive) ? wxString() : wxString(archive_unwritten_text);
}

// Buffered bytes reach the file only here, so a full disk often shows first
// in the flush. wxFFile::Close keeps its FILE pointer when fclose fails and
// would close it again later; the pointer is dead by then, so it is dropped.
wxString CloseArchive(wxFFile& archive)
{
    const bool flushed = archive.Flush();
    const bool closed = archive.Close();
    if (!closed) {
        archive.Detach();
    }
    if (!flushed) {
        return archive_unwritten_text;
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

// The draft stands in for packing when it holds the report as it is now and
// the archive is a plain file or not there yet: wx lays an entry out
// differently for a stream it cannot go back in (a pipe, a device).
ReportArchiveDraft* UsableDraft(ReportArchiveDraft* draft, const wxString& report, const wxString& zip_filename)
{
    const bool archive_is_plain = !wxFileName::Exists(zip_filename, wxFILE_EXISTS_ANY) || wxFileExists(zip_filename);
    const wxULongLong report_size = wxFileName::GetSize(report);
    const bool usable = draft != nullptr && archive_is_plain && report_size != wxInvalidSize &&
                        draft->Finish(report_size.GetValue());
    return usable ? draft : nullptr;
}

int PackReport(ReportLineReader& reader, const wxString& zip_filename, const wxString& entry_name,
               ReportArchiveDraft* draft)
{
    const bool existed = wxFileName::Exists(zip_filename, wxFILE_EXISTS_ANY | wxFILE_EXISTS_NO_FOLLOW);
    wxFFile archive(zip_filename, wxS("w+b"));
    if (!archive.IsOpened()) {
        return Fail(archive_uncreated_text);
    }
    wxString failure = draft != nullptr ? CopyDraft(archive, *draft) : WriteArchive(archive, reader, entry_name);
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

}  // namespace

int ZipOutputFile(const wxString& zip_filename, ReportArchiveDraft* draft)
{
    const wxString& report = run_settings.output_filename;
    if (report.empty()) {
        return Fail(wxS("ZipOutputFile() - output_filename is empty."));
    }
    if (zip_filename.empty()) {
        return Fail(wxS("ZipOutputFile() - zip_filename is empty."));
    }
    if (!wxFileExists(report)) {
        return Fail(wxS("ZipOutputFile() - output_filename does not exist."));
    }
    // The report is opened and its start read before the archive is made, so
    // that an unreadable report leaves nothing behind.
    ReportLineReader reader;
    if (!reader.Open(report)) {
        return Fail(report_unopened_text);
    }
    if (!reader.Start()) {
        return Fail(report_unread_text);
    }
    return PackReport(reader, zip_filename, ZipEntryName(report), UsableDraft(draft, report, zip_filename));
}
