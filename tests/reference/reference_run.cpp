#include "reference/reference_run.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <regex>

#include <wx/file.h>

#include "base/diagnostics.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"
#include "reference/full_path_reference.h"
#include "report/name_lists.h"
#include "report/report_columns.h"
#include "report/report_rows.h"
#include "support/cli_runner.h"
#include "text/utf8_text.h"

namespace varneth_test {

namespace {

std::string Shown(const DiagnosticLine& line)
{
    const std::string text = line.text.utf8_string();
    if (line.level == DiagnosticLevel::kError) {
        return "LOG Error: " + text;
    }
    return line.level == DiagnosticLevel::kWarning ? "LOG Warning: " + text : "LOG " + text;
}

class ReferenceRun {
public:
    ReferenceRun(const std::string& mft_path, ReferenceMode mode, ReportFormat format) : mode_(mode), format_(format)
    {
        file_.Open(mft_path);
    }

    ReferenceOutput Run()
    {
        if (mode_ == ReferenceMode::kReport) {
            AppendUtf8(output_.report, GetReportHeaderString(format_));
        }
        const std::uint64_t count = static_cast<std::uint64_t>(file_.Length()) / 1024;
        for (std::uint64_t recno = 0; recno < count; ++recno) {
            buffer_.fill(0);
            if (file_.Read(buffer_.data(), 1024) != 1024) {
                break;
            }
            Record(recno);
            TakeLogLines();
        }
        return output_;
    }

private:
    void Record(std::uint64_t recno)
    {
        if (std::memcmp(buffer_.data(), "FILE", 4) != 0) {
            lines_.Message(wxS("$MFT file record has an invalid MAGIC number."));
            return;
        }
        header_.Clear();
        if (GetMFTRecHeader(buffer_.data(), &header_, lines_) != 0 || header_.next_attr_id == 0) {
            return;
        }
        record_.Clear();
        if (CreateMFTFileRecord(buffer_.data(), &record_, recno, lines_) != 0 || record_.mft_header.base_recno != 0 ||
            record_.file_name_array.empty()) {
            return;
        }
        if (mode_ == ReferenceMode::kReport) {
            const wxString full_path = ReferenceFullPath(file_, recno, lines_);
            const wxArrayString rows = GetMFTRecordTabStringArr(&record_, full_path, format_, wxS("localhost"), lines_);
            for (const wxString& row : rows) {
                AppendUtf8(output_.report, row);
            }
        } else if ((record_.mft_header.record_flags & kRecordIsDirectory) == 0) {
            const bool streams_only = mode_ == ReferenceMode::kStreams;
            for (const wxString& name : GetMFTRecordWin32FileName(&record_, streams_only, lines_)) {
                TakeLogLines();
                output_.events.push_back(name.utf8_string());
            }
        }
    }

    void TakeLogLines()
    {
        for (const DiagnosticLine& line : lines_) {
            if (mode_ == ReferenceMode::kReport || line.level == DiagnosticLevel::kError) {
                output_.events.push_back(Shown(line));
            }
        }
        lines_.clear();
    }

    ReferenceMode mode_;
    ReportFormat format_;
    wxFile file_;
    Diagnostics lines_;  // not yet taken
    std::array<unsigned char, 1024> buffer_{};
    MFTRecordHeader header_;
    MFTFileRecord record_;
    ReferenceOutput output_;
};

}  // namespace

ReferenceOutput RunReference(const std::string& mft_path, ReferenceMode mode, ReportFormat format)
{
    return ReferenceRun(mft_path, mode, format).Run();
}

std::vector<std::string> ConsoleEvents(const std::string& console, bool listing)
{
    static const std::regex stamp("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}: (.*)$");
    std::vector<std::string> events;
    bool in_loop = listing;
    std::string lines = console;  // a progress line ends in "\r", a log line may follow it
    std::replace(lines.begin(), lines.end(), '\r', '\n');
    for (const std::string& line : SplitLines(lines)) {
        std::smatch match;
        const bool logged = std::regex_match(line, match, stamp);
        const std::string event = logged ? "LOG " + match[1].str() : line;
        if (event == "LOG $MFT dump complete.") {
            break;
        }
        if (in_loop && line.rfind("Records processed: ", 0) != 0) {
            events.push_back(event);
        }
        in_loop = in_loop || event == "LOG Processing $MFT file.";
    }
    return events;
}

}  // namespace varneth_test
