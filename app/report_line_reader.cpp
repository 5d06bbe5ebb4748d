#include "app/report_line_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

// Moves the unread bytes to the front, then reads the next block behind them.
bool ReportLineReader::Fill()
{
    std::copy(data_.begin() + begin_, data_.begin() + end_, data_.begin());
    end_ -= begin_;
    begin_ = 0;
    if (data_.size() - end_ < read_block_) {
        data_.resize(end_ + read_block_);
    }
    const ssize_t count = file_.Read(data_.data() + end_, read_block_);
    read_block_ = std::min(read_block_ * 2, kReadBlock);
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
        UseForm(2, false, std::make_unique<wxMBConvUTF16LE>());
        break;
    case wxBOM_UTF16BE:
        UseForm(2, true, std::make_unique<wxMBConvUTF16BE>());
        break;
    case wxBOM_UTF32LE:
        UseForm(4, false, std::make_unique<wxMBConvUTF32LE>());
        break;
    case wxBOM_UTF32BE:
        UseForm(4, true, std::make_unique<wxMBConvUTF32BE>());
        break;
    default:
        break;  // UTF-8, with or without its mark
    }
}

void ReportLineReader::UseForm(std::size_t unit, bool big_endian, std::unique_ptr<wxMBConv> decoder)
{
    unit_ = unit;
    big_endian_ = big_endian;
    decoder_ = std::move(decoder);
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

ReadStatus ReportLineReader::NextLines(std::string& text, const std::string& line_end)
{
    text.clear();
    const bool lf_ends_lines = line_end == "\n";
    std::string line;
    while (text.size() < kReadBlock) {
        if (lf_ends_lines && TakeLfLines(text)) {
            continue;
        }
        const ReadStatus status = NextLine(line);
        if (status == ReadStatus::end) {
            return text.empty() ? ReadStatus::end : ReadStatus::line;
        }
        if (status != ReadStatus::line) {
            return status;
        }
        text += line;
        text += line_end;
    }
    return ReadStatus::line;
}

// The common case in bulk: UTF-8 lines ended by LF alone come out as they
// are, so the read bytes up to the last LF before any CR are taken whole.
bool ReportLineReader::TakeLfLines(std::string& text)
{
    if (decoder_ || begin_ == end_) {
        return false;
    }
    const char* from = data_.data() + begin_;
    const std::size_t size = end_ - begin_;
    const void* carriage_return = std::memchr(from, '\r', size);
    const std::size_t plain = carriage_return ? static_cast<const char*>(carriage_return) - from : size;
    const std::size_t last_lf = std::string_view(from, plain).rfind('\n');
    if (last_lf == std::string_view::npos) {
        return false;
    }
    text.append(from, last_lf + 1);
    begin_ += last_lf + 1;
    return true;
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

namespace {

// UTF-32 can carry values that are no characters; wxConvUTF8 would stop on
// them with an assertion, so they are refused before.
bool IsCharacter(wchar_t c)
{
    const auto value = static_cast<std::uint32_t>(c);
    const bool surrogate = sizeof(wchar_t) == 4 && value >= 0xD800 && value <= 0xDFFF;
    return value <= 0x10FFFF && !surrogate;
}

}  // namespace

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