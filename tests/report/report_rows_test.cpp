#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record_fixtures.h"
#include "report/report_columns.h"
#include "report/report_rows.h"
#include "support/diagnostic_texts.h"
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

// The record of the worked example: a DOS name first, then the Win32 name;
// an unnamed non-resident stream, then a resident named one.
void BuildWorkedExample(MFTFileRecord& record)
{
    record.mft_header.mft_recno = 41;
    record.mft_header.record_flags = kRecordInUse;
    SetTimes(AddFileName(record, wxS("REPORT~1.TXT"), kNameSpaceDos), kFiletime2009);
    // Other times on the second name: the fn columns must come from the first.
    SetTimes(AddFileName(record, wxS("Report 2012.txt"), kNameSpaceWin32), kFiletime2013);
    record.std_info.create_time = FiletimeToDateTime(kFiletime2012);
    record.std_info.mod_time = FiletimeToDateTime(kFiletime2012);
    record.std_info.mft_mod_time = FiletimeToDateTime(kFiletime2012);
    record.std_info.access_time = FiletimeToDateTime(kFiletime2013);
    record.std_info.file_attributes = 0x0020;
    AddNonResidentData(record, 5000, 8192);
    AddResidentData(record, 26, wxS("Zone.Identifier"));
}

struct WorkedExampleCase {
    const char* label;
    ReportFormat format;
    const char* record_row;
    const char* stream_row;
};

const WorkedExampleCase kWorkedExample[] = {
    {"long", ReportFormat::kLong,
     "41\t0\t0\t0\tReport 2012.txt\tREPORT~1.TXT\t2012-12-14 23:06:40\t2013-04-09 16:53:20\t2012-12-14 23:06:40\t"
     "2012-12-14 23:06:40\t5000\t8192\ttxt\t\\Users\\x\\Report 2012.txt\t2009-10-14 13:20:00\t2009-10-14 13:20:00\t"
     "2009-10-14 13:20:00\t2009-10-14 13:20:00\t0\t0\t0\t0\t1\t0\t0\t0\t0\t0\t0\t0\t0\t0\tlocalhost\n",
     "41\t0\t0\t1\tReport 2012.txt:Zone.Identifier\tREPORT~1.TXT\t2012-12-14 23:06:40\t2013-04-09 16:53:20\t"
     "2012-12-14 23:06:40\t2012-12-14 23:06:40\t26\t26\ttxt\t\\Users\\x\\Report 2012.txt:Zone.Identifier\t"
     "2009-10-14 13:20:00\t2009-10-14 13:20:00\t2009-10-14 13:20:00\t2009-10-14 13:20:00\t0\t0\t0\t1\t1\t0\t0\t0\t"
     "0\t0\t0\t0\t0\t0\tlocalhost\n"},
    {"default", ReportFormat::kDefault,
     "41\t0\t0\t0\tReport 2012.txt\t2012-12-14 23:06:40\t2013-04-09 16:53:20\t2012-12-14 23:06:40\t"
     "2012-12-14 23:06:40\t5000\t8192\ttxt\t\\Users\\x\\Report 2012.txt\t2009-10-14 13:20:00\t2009-10-14 13:20:00\t"
     "2009-10-14 13:20:00\t2009-10-14 13:20:00\t0\t0\t0\tlocalhost\n",
     "41\t0\t0\t1\tReport 2012.txt:Zone.Identifier\t2012-12-14 23:06:40\t2013-04-09 16:53:20\t"
     "2012-12-14 23:06:40\t2012-12-14 23:06:40\t26\t26\ttxt\t\\Users\\x\\Report 2012.txt:Zone.Identifier\t"
     "2009-10-14 13:20:00\t2009-10-14 13:20:00\t2009-10-14 13:20:00\t2009-10-14 13:20:00\t0\t0\t0\tlocalhost\n"},
    {"short", ReportFormat::kShort,
     "41\t0\t0\t0\tReport 2012.txt\t2012-12-14 23:06:40\t2013-04-09 16:53:20\t2012-12-14 23:06:40\t"
     "2012-12-14 23:06:40\t5000\ttxt\t\\Users\\x\\Report 2012.txt\t0\t0\t0\tlocalhost\n",
     "41\t0\t0\t1\tReport 2012.txt:Zone.Identifier\t2012-12-14 23:06:40\t2013-04-09 16:53:20\t"
     "2012-12-14 23:06:40\t2012-12-14 23:06:40\t26\ttxt\t\\Users\\x\\Report 2012.txt:Zone.Identifier\t0\t0\t0\t"
     "localhost\n"},
};

TEST(ReportRowsTest, WorkedExampleInEachFormatByteForByte)
{
    MFTFileRecord record;
    BuildWorkedExample(record);
    for (const WorkedExampleCase& c : kWorkedExample) {
        SCOPED_TRACE(c.label);
        Diagnostics diagnostics;
        const wxArrayString lines = GetMFTRecordTabStringArr(&record, wxS("\\Users\\x\\Report 2012.txt"), c.format,
                                                             wxS("localhost"), diagnostics);
        EXPECT_TRUE(diagnostics.empty());
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(ToUtf8(lines[0]), c.record_row);
        EXPECT_EQ(ToUtf8(lines[1]), c.stream_row);
    }
}

TEST(ReportRowsTest, RefusedInputsAreSaidAndGiveNoLines)
{
    MFTFileRecord record;
    BuildWorkedExample(record);
    MFTRecordHeader not_a_record;
    const struct {
        const char* label;
        wxObject* object;
        const char* full_path;
        const char* host_name;
        const char* message;
    } cases[] = {
        {"header object", &not_a_record, "\\x", "localhost",
         "GetMFTRecordTabStringArr() - mft_file_record is not of type MFTFileRecord."},
        {"null object", nullptr, "\\x", "localhost",
         "GetMFTRecordTabStringArr() - mft_file_record is not of type MFTFileRecord."},
        {"empty path", &record, "", "localhost", "GetMFTRecordTabStringArr() - full_path string is empty."},
        {"empty host", &record, "\\x", "", "GetMFTRecordTabStringArr() - host_name string is empty."},
        // The checks run in order: the object first, then the path.
        {"all three", &not_a_record, "", "",
         "GetMFTRecordTabStringArr() - mft_file_record is not of type MFTFileRecord."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Diagnostics diagnostics;
        EXPECT_TRUE(
            GetMFTRecordTabStringArr(c.object, c.full_path, ReportFormat::kDefault, c.host_name, diagnostics).empty());
        // The driver's builder refuses the same way and leaves the sink untouched.
        LineCollector collector;
        ReportRowBuilder builder(ReportFormat::kDefault, c.host_name);
        EXPECT_EQ(builder.AppendMFTRecordRows(collector, c.object, c.full_path, diagnostics),
                  ReportRowsResult::kNoRows);
        EXPECT_TRUE(collector.lines_.empty());
        EXPECT_TRUE(collector.Bytes().empty());
        const std::vector<wxString> expected = {wxString(c.message), wxString(c.message)};
        EXPECT_EQ(Texts(diagnostics), expected);
        EXPECT_EQ(TextsAt(diagnostics, DiagnosticLevel::kError), expected);
    }
}

TEST(ReportRowsTest, ASinkThatFailsStopsTheRecordsLines)
{
    Diagnostics diagnostics;
    MFTFileRecord record;
    BuildWorkedExample(record);
    AddResidentData(record, 1, wxS("second"));
    ReportRowBuilder builder(ReportFormat::kDefault, wxS("localhost"));
    for (std::size_t refuse_at : {1u, 2u, 3u}) {
        LineCollector collector;
        collector.refuse_at_ = refuse_at;
        EXPECT_EQ(builder.AppendMFTRecordRows(collector, &record, "\\a.txt", diagnostics),
                  ReportRowsResult::kSinkFailed);
        EXPECT_EQ(collector.lines_.size(), refuse_at);
    }
}

// Hostile names: every line keeps exactly the header's fields in every
// format, and no control character survives anywhere in it.
TEST(ReportRowsTest, ControlCharactersNeverSplitOrCorruptALine)
{
    MFTFileRecord record;
    record.mft_header.record_flags = kRecordInUse;
    AddFileName(record, wxS("PO\x1b[2J~1"), kNameSpaceDos);
    AddFileName(record, wxString(L"a\tb\nc\rd\x7f\x85\x9b.t\tx"), kNameSpacePosix);
    AddResidentData(record, 3);
    AddResidentData(record, 4, wxS("s\tt\nu"));
    const wxString path = wxString(L"\\dir\nx\\a\tb") + wxUniChar(0xD800) + wxUniChar(0x110000);
    for (ReportFormat format : {ReportFormat::kDefault, ReportFormat::kLong, ReportFormat::kShort}) {
        const std::size_t header_fields = SplitLine(GetReportHeaderString(format)).size();
        Diagnostics diagnostics;
        const wxArrayString lines =
            GetMFTRecordTabStringArr(&record, path, format, wxS("host\tname\n"), diagnostics);
        ASSERT_EQ(lines.size(), 2u);
        for (const wxString& line : lines) {
            const std::vector<wxString> fields = SplitLine(line);
            ASSERT_EQ(fields.size(), header_fields) << ToUtf8(line);
            for (const wxString& field : fields) {
                for (wxUniChar c : field) {
                    const auto value = static_cast<std::uint32_t>(c.GetValue());
                    EXPECT_FALSE(value < 0x20 || (value >= 0x7F && value <= 0x9F) ||
                                 (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
                        << "U+" << std::hex << value << " in " << ToUtf8(field);
                }
            }
            EXPECT_EQ(fields.back(), Replaced("host#name#"));
        }
        const wxString name = Replaced("a#b#c#d###.t#x");
        const wxString stream_name = Replaced(":s#t#u");
        const wxString full_path = Replaced("\\dir#x\\a#b##");
        EXPECT_EQ(Field(lines[0], wxS("Filename"), format), name);
        EXPECT_EQ(Field(lines[1], wxS("Filename"), format), name + stream_name);
        EXPECT_EQ(Field(lines[0], wxS("Ext"), format), Replaced("t#x"));
        EXPECT_EQ(Field(lines[0], wxS("FullPath"), format), full_path);
        EXPECT_EQ(Field(lines[1], wxS("FullPath"), format), full_path + stream_name);
        if (format == ReportFormat::kLong) {
            EXPECT_EQ(Field(lines[0], wxS("DOSFilename"), format), Replaced("PO#[2J~1"));
        }
    }
}

}  // namespace
}  // namespace varneth_test
