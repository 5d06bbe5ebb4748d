// The rows made straight in UTF-8 are the UTF-8 of the wide rows, line by
// line, with the same checks and log lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_settings.h"
#include "record_fixtures.h"
#include "report/report_rows.h"
#include "support/log_capture.h"
#include "text/utf8_text.h"

namespace varneth_test {
namespace {

// Keeps the lines apart; can be told to refuse a line.
class LineCollector : public ReportLineSink {
public:
    std::string& Bytes() override { return bytes_; }
    bool LineDone() override
    {
        lines_.push_back(bytes_);
        bytes_.clear();
        return lines_.size() != refuse_at_;
    }

    std::vector<std::string> lines_;
    std::size_t refuse_at_ = 0;  // the line whose LineDone fails, from 1; 0: none

private:
    std::string bytes_;
};

std::vector<std::string> WideRowsInUtf8(MFTFileRecord& record, const wxString& full_path)
{
    std::vector<std::string> lines;
    for (const wxString& line : GetMFTRecordTabStringArr(&record, full_path)) {
        lines.push_back(ToUtf8(line));
    }
    return lines;
}

void BuildRecord(MFTFileRecord& record, bool in_use, const wxString& name)
{
    record.Clear();
    record.mft_header.mft_recno = 1234567;
    record.mft_header.record_flags = in_use ? kRecordInUse : 0;
    SetTimes(AddFileName(record, wxS("LONGNA~1.TXT"), kNameSpaceDos), kFiletime2009);
    AddFileName(record, name, kNameSpaceWin32);
    record.std_info.create_time = FiletimeToDateTime(kFiletime2012);
    record.std_info.access_time = FiletimeToDateTime(kFiletime2013);
    record.std_info.file_attributes = 0x2826;
    AddNonResidentData(record, 5000, 8192);
    AddResidentData(record, 26, wxS("Zone.Identifier"));
    AddNonResidentData(record, 1, 4096, wxString::FromUTF8("\xE2\x82\xAC\x1B"));
}

TEST(ReportRowsUtf8Test, TheUtf8LinesOfTheWideRowsInEveryFormat)
{
    const ReportSettingsGuard settings;
    const wxString names[] = {wxS("Report 2012.txt"), wxString::FromUTF8("Pr\xC3\xBC" "f\tung\x7F.pdf"),
                              wxString::FromUTF8("\xF0\x9F\x98\x80")};
    const wxString paths[] = {wxS("\\Users\\x\\Report 2012.txt"), wxString::FromUTF8("\\a\x0A\xC2\x85\\b"),
                              wxS("\\")};
    const bool formats[][2] = {{false, false}, {true, false}, {false, true}};
    MFTFileRecord record;
    for (const auto& format : formats) {
        ReportSettingsGuard::SetFormat(format[0], format[1]);
        for (bool in_use : {true, false}) {
            for (std::size_t i = 0; i < 3; ++i) {
                BuildRecord(record, in_use, names[i]);
                LineCollector collector;
                EXPECT_EQ(AppendMFTRecordRows(collector, &record, ToUtf8(paths[i])), ReportRowsResult::kWritten);
                EXPECT_EQ(collector.lines_, WideRowsInUtf8(record, paths[i]));
                EXPECT_EQ(collector.lines_.size(), 3u);
            }
        }
    }
}

TEST(ReportRowsUtf8Test, RefusedArgumentsLogAsTheWideRowsDoAndWriteNothing)
{
    const ReportSettingsGuard settings;
    MFTFileRecord record;
    BuildRecord(record, true, wxS("a.txt"));
    MFTStdInfoAttr not_a_record;
    struct Case {
        wxObject* object;
        const char* path;
        const char* host;
    };
    const Case cases[] = {{&not_a_record, "\\a.txt", "localhost"}, {&record, "", "localhost"}, {&record, "\\a.txt", ""}};
    for (const Case& c : cases) {
        run_settings.host_name = wxString::FromUTF8(c.host);
        LogCapture wide_log;
        EXPECT_TRUE(GetMFTRecordTabStringArr(c.object, wxString::FromUTF8(c.path)).empty());
        const std::vector<wxString> expected = wide_log.Texts();
        ASSERT_EQ(expected.size(), 1u);
        LogCapture utf8_log;
        LineCollector collector;
        EXPECT_EQ(AppendMFTRecordRows(collector, c.object, c.path), ReportRowsResult::kNoRows);
        EXPECT_EQ(utf8_log.Texts(), expected);
        EXPECT_EQ(utf8_log.TextsAt(wxLOG_Error).size(), 1u);
        EXPECT_TRUE(collector.lines_.empty());
        EXPECT_TRUE(collector.Bytes().empty());
    }
}

TEST(ReportRowsUtf8Test, ASinkThatFailsStopsTheRecordsLines)
{
    const ReportSettingsGuard settings;
    MFTFileRecord record;
    BuildRecord(record, true, wxS("a.txt"));
    for (std::size_t refuse_at : {1u, 2u, 3u}) {
        LineCollector collector;
        collector.refuse_at_ = refuse_at;
        EXPECT_EQ(AppendMFTRecordRows(collector, &record, "\\a.txt"), ReportRowsResult::kSinkFailed);
        EXPECT_EQ(collector.lines_.size(), refuse_at);
    }
}

}  // namespace
}  // namespace varneth_test
