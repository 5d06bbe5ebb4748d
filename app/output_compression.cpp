#include "app/output_compression.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <wx/arrstr.h>
#include <wx/convauto.h>
#include <wx/datetime.h>
#include <wx/ffile.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/strconv.h>
#include <wx/textbuf.h>
#include <wx/wfstream.h>
#include <wx/zipstrm.h>

#include "app/log_message.h"
#include "app/run_settings.h"

namespace {

const wxChar* const report_unopened_text = wxS("ZipOutputFile() - output_filename could not be opened.");
const wxChar* const report_unread_text = wxS("ZipOutputFile() - output_filename could not be read.");
const wxChar* const report_not_text = wxS("ZipOutputFile() - output_filename is not valid text.");
const wxChar* const archive_uncreated_text = wxS("ZipOutputFile() - zip_filename could not be created.");
const wxChar* const archive_unwritten_text = wxS("ZipOutputFile() - zip_filename could not be written.");
const wxChar* const archive_unclosed_text = wxS("ZipOutputFile() - zip_filename could not be closed.");
const wxChar* const archive_kept_text = wxS("ZipOutputFile() - partial zip_filename could not be removed.");

// Bytes asked of the file per read; a line longer than this grows the buffer.
const std::size_t read_block = std::size_t{1} << 20;

enum class ReadStatus { line, end, read_failed, bad_text };

// Reads a text file line by line in bounded memory. wxTextFile would hold the
// whole report in memory several times over (about nine times its size), and
// a report of millions of records runs to gigabytes. The splitting is the
// same: lines end at LF, CR or CR LF, the terminators are dropped, and a last
// line without one still counts. A byte-order mark chooses UTF-16 or UTF-32 as
// wxConvAuto would; anything else is UTF-8 and is passed on byte for byte.
class ReportLineReader {
public:
    bool Open(const wxString& filename) { return file_.Open(filename); }
    bool Start();
    ReadStatus NextLine(std::string& utf8_line);

private:
    bool Fill();
    void ChooseForm(wxBOM bom);
    std::uint32_t UnitAt(std::size_t offset) const;
    std::size_t FindTerminator(std::size_t from) const;
    ReadStatus TakeLine(std::size_t line_end, std::size_t next, std::string& utf8_line);
    ReadStatus TakeLastLine(std::string& utf8_line);
    bool ToUtf8(const char* text, std::size_t size, std::string& utf8_line) const;

    wxFile file_;
    std::vector<char> data_ = std::vector<char>(read_block);
    std::size_t begin_ = 0;  // first byte not yet handed out
    std::size_t end_ = 0;    // end of the bytes read so far
    bool at_eof_ = false;
    std::size_t unit_ = 1;   // code unit size in bytes: 1, 2 or 4
    bool big_endian_ = false;
    std::unique_ptr<wxMBConv> decoder_;  // none for UTF-8
};

// Moves the unread bytes to the front, then reads the next block behind them.
bool ReportLineReader::Fill()
{
    std::copy(data_.begin() + begin_, data_.begin() + end_, data_.begin());
    end_ -= begin_;
    begin_ = 0;
    if (data_.size() - end_ < read_block) {
        data_.resize(end_ + read_block);
    }
    const ssize_t count = file_.Read(data_.data() + end_, read_block);
    if (count == wxInvalidOffset) {
        return false;
    }
    at_eof_ = count == 0;
    end_ += static_cast<std::size_t>(count);
    return true;
}

// Reads enough to see a byte-order mark and takes the text form from it.
bool ReportLineReader::Start()
{
    while (end_ < 4 && !at_eof_) {
        if (!Fill()) {
            return false;
        }
    }
    if (end_ == 0) {
        return true;
    }
    const wxBOM bom = wxConvAuto::DetectBOM(data_.data(), std::min<std::size_t>(end_, 4));
    if (bom == wxBOM_Unknown) {
        // Only a file shorter than four bytes that is the start of a mark
        // gets here; it holds no text, as wxConvAuto also finds.
        begin_ = end_;
        return true;
    }
    if (bom != wxBOM_None) {
        std::size_t mark_size = 0;
        wxConvAuto::GetBOMChars(bom, &mark_size);
        begin_ = mark_size;
    }
    ChooseForm(bom);
    return true;
}

void ReportLineReader::ChooseForm(wxBOM bom)
{
    switch (bom) {
    case wxBOM_UTF16LE:
        unit_ = 2;
        decoder_ = std::make_unique<wxMBConvUTF16LE>();
        break;
    case wxBOM_UTF16BE:
        unit_ = 2;
        big_endian_ = true;
        decoder_ = std::make_unique<wxMBConvUTF16BE>();
        break;
    case wxBOM_UTF32LE:
        unit_ = 4;
        decoder_ = std::make_unique<wxMBConvUTF32LE>();
        break;
    case wxBOM_UTF32BE:
        unit_ = 4;
        big_endian_ = true;
        decoder_ = std::make_unique<wxMBConvUTF32BE>();
        break;
    default:
        break;  // UTF-8, with or without its mark
    }
}

std::uint32_t ReportLineReader::UnitAt(std::size_t offset) const
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < unit_; ++i) {
        const std::size_t byte = big_endian_ ? i : unit_ - 1 - i;
        value = (value << 8) | static_cast<unsigned char>(data_[offset + byte]);
    }
    return value;
}

// Offset of the first CR or LF unit at or after from, or end_ if the complete
// units read so far hold none.
std::size_t ReportLineReader::FindTerminator(std::size_t from) const
{
    for (std::size_t at = from; at + unit_ <= end_; at += unit_) {
        const std::uint32_t unit = UnitAt(at);
        if (unit == '\n' || unit == '\r') {
            return at;
        }
    }
    return end_;
}

ReadStatus ReportLineReader::NextLine(std::string& utf8_line)
{
    std::size_t scanned = 0;  // bytes after begin_ known to hold no terminator
    for (;;) {
        const std::size_t at = FindTerminator(begin_ + scanned);
        if (at != end_) {
            std::size_t next = at + unit_;
            const bool carriage_return = UnitAt(at) == '\r';
            if (carriage_return && next + unit_ > end_ && !at_eof_) {
                // Whether an LF follows is not known yet.
                scanned = at - begin_;
                if (!Fill()) {
                    return ReadStatus::read_failed;
                }
                continue;
            }
            if (carriage_return && next + unit_ <= end_ && UnitAt(next) == '\n') {
                next += unit_;
            }
            return TakeLine(at, next, utf8_line);
        }
        if (at_eof_) {
            return TakeLastLine(utf8_line);
        }
        scanned = (end_ - begin_) / unit_ * unit_;
        if (!Fill()) {
            return ReadStatus::read_failed;
        }
    }
}

ReadStatus ReportLineReader::TakeLine(std::size_t line_end, std::size_t next, std::string& utf8_line)
{
    const char* text = data_.data() + begin_;
    const std::size_t size = line_end - begin_;
    begin_ = next;
    return ToUtf8(text, size, utf8_line) ? ReadStatus::line : ReadStatus::bad_text;
}

ReadStatus ReportLineReader::TakeLastLine(std::string& utf8_line)
{
    if (begin_ == end_) {
        return ReadStatus::end;
    }
    // A UTF-16 or UTF-32 file cut inside a unit fails in the decoder.
    return TakeLine(end_, end_, utf8_line);
}

// UTF-32 can carry values that are no characters; wxConvUTF8 would stop on
// them with an assertion, so they are refused before.
bool IsCharacter(wchar_t c)
{
    const auto value = static_cast<std::uint32_t>(c);
    const bool surrogate = sizeof(wchar_t) == 4 && value >= 0xD800 && value <= 0xDFFF;
    return value <= 0x10FFFF && !surrogate;
}

bool ReportLineReader::ToUtf8(const char* text, std::size_t size, std::string& utf8_line) const
{
    if (!decoder_ || size == 0) {
        utf8_line.assign(text, size);
        return true;
    }
    const std::size_t wide_size = decoder_->ToWChar(nullptr, 0, text, size);
    if (wide_size == wxCONV_FAILED) {
        return false;
    }
    std::wstring wide(wide_size, L'\0');
    decoder_->ToWChar(&wide[0], wide_size, text, size);
    if (!std::all_of(wide.begin(), wide.end(), IsCharacter)) {
        return false;
    }
    const std::size_t utf8_size = wxConvUTF8.FromWChar(nullptr, 0, wide.data(), wide.size());
    if (utf8_size == wxCONV_FAILED) {
        return false;
    }
    utf8_line.resize(utf8_size);
    wxConvUTF8.FromWChar(&utf8_line[0], utf8_size, wide.data(), wide.size());
    return true;
}

int Fail(const wxString& text)
{
    LogErrorText(text);
    return -1;
}

// wxZipEntry turns the native path into an archive name: "/" separators, no
// leading "/" or "./". It keeps ".." parts ("../out.txt", and "/../x" gives
// "../x"), and such an entry would be extracted outside the target directory
// by careless tools, so "." and ".." are resolved here, along with empty
// parts.
wxString EntryName(const wxString& report)
{
    wxArrayString kept;
    for (const wxString& part : wxSplit(wxZipEntry::GetInternalName(report), '/', '\0')) {
        if (part == wxS("..")) {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (!part.empty() && part != wxS(".")) {
            kept.push_back(part);
        }
    }
    return wxJoin(kept, '/', '\0');
}

wxString CopyLines(ReportLineReader& reader, wxOutputStream& zip, const wxOutputStream& file_stream)
{
    const std::string line_end(wxString(wxTextBuffer::GetEOL()).utf8_str());
    std::string line;
    for (;;) {
        const ReadStatus status = reader.NextLine(line);
        if (status == ReadStatus::end) {
            return wxString();
        }
        if (status != ReadStatus::line) {
            return status == ReadStatus::bad_text ? report_not_text : report_unread_text;
        }
        line += line_end;
        zip.Write(line.data(), line.size());
        if (zip.LastWrite() != line.size() || !zip.IsOk() || !file_stream.IsOk()) {
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
    wxZipOutputStream zip(file_stream);
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

int PackReport(ReportLineReader& reader, const wxString& zip_filename, const wxString& entry_name)
{
    const bool existed = wxFileName::Exists(zip_filename, wxFILE_EXISTS_ANY | wxFILE_EXISTS_NO_FOLLOW);
    wxFFile archive(zip_filename, wxS("w+b"));
    if (!archive.IsOpened()) {
        return Fail(archive_uncreated_text);
    }
    wxString failure = WriteArchive(archive, reader, entry_name);
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

int ZipOutputFile(const wxString& zip_filename)
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
    return PackReport(reader, zip_filename, EntryName(report));
}
