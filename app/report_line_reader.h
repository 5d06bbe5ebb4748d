#ifndef VARNETH_APP_REPORT_LINE_READER_H
#define VARNETH_APP_REPORT_LINE_READER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/strconv.h>
#include <wx/string.h>

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
    // Replaces text with the next lines, each ended by line_end, about a read
    // block of them; ReadStatus::line while there are lines.
    ReadStatus NextLines(std::string& text, const std::string& line_end);

private:
    // Bytes asked of the file per read; a line longer than this grows the
    // buffer. The first reads ask for less, doubling up to it, so that a
    // small report fills no megabyte of zeros.
    static constexpr std::size_t kReadBlock = std::size_t{1} << 20;
    static constexpr std::size_t kFirstReadBlock = std::size_t{64} << 10;

    bool Fill();
    ReadStatus NextLine(std::string& utf8_line);
    void ChooseForm(wxBOM bom);
    void UseForm(std::size_t unit, bool big_endian, std::unique_ptr<wxMBConv> decoder);
    std::uint32_t UnitAt(std::size_t offset) const;
    std::size_t FindTerminator(std::size_t from) const;
    ReadStatus TakeLine(std::size_t line_end, std::size_t next, std::string& utf8_line);
    ReadStatus TakeLastLine(std::string& utf8_line);
    bool ToUtf8(const char* text, std::size_t size, std::string& utf8_line) const;
    bool TakeLfLines(std::string& text);

    wxFile file_;
    std::vector<char> data_;
    std::size_t read_block_ = kFirstReadBlock;
    std::size_t begin_ = 0;  // first byte not yet handed out
    std::size_t end_ = 0;    // end of the bytes read so far
    bool at_eof_ = false;
    std::size_t unit_ = 1;   // code unit size in bytes: 1, 2 or 4
    bool big_endian_ = false;
    std::unique_ptr<wxMBConv> decoder_;  // none for UTF-8
};

#endif
