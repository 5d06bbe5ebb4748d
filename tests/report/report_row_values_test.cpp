#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "record_fixtures.h"
#include "report/report_rows.h"

namespace varneth_test {
namespace {

// Each test starts in the default format; the host is "localhost".
class RowValuesTest : public ::testing::Test {
protected:
    using Fields = std::vector<std::pair<const char*, const char*>>;

    wxArrayString Rows(const wxString& full_path = wxS("\\dir\\file"))
    {
        return GetMFTRecordTabStringArr(&record_, full_path, format_, wxS("localhost"), diagnostics_);
    }

    // The field of the named column in a line of the test's format.
    wxString Field(const wxString& line, const wxString& column) const
    {
        return varneth_test::Field(line, column, format_);
    }

    // The named fields of the record's only row.
    void ExpectOnlyRow(const Fields& expected, const wxString& full_path = wxS("\\dir\\file"))
    {
        const wxArrayString rows = Rows(full_path);
        ASSERT_EQ(rows.size(), 1u);
        for (const auto& [column, value] : expected) {
            EXPECT_EQ(Field(rows[0], column), wxString(value)) << column;
        }
    }

    ReportFormat format_ = ReportFormat::kDefault;
    Diagnostics diagnostics_;
    MFTFileRecord record_;
};

TEST_F(RowValuesTest, ResidentFileInUse)
{
    record_.mft_header.record_flags = kRecordInUse;
    AddFileName(record_, wxS("report.txt"), kNameSpaceWin32AndDos);
    AddResidentData(record_, 120);
    ExpectOnlyRow({{"Deleted", "0"}, {"Directory", "0"}, {"ADS", "0"}, {"Filename", "report.txt"}, {"Ext", "txt"},
                   {"ActualSize", "120"}, {"AllocSize", "120"}, {"FullPath", "\\docs\\report.txt"}},
                  wxS("\\docs\\report.txt"));
}

// The "?" marks wrap the whole path of a deleted record, stream name included.
TEST_F(RowValuesTest, DeletedMarkersOnRecordAndStreamRows)
{
    AddFileName(record_, wxS("f.txt"), kNameSpaceWin32);
    AddResidentData(record_, 1);
    AddResidentData(record_, 2, wxS("s"));
    const struct {
        std::uint16_t flags;
        const char* deleted;
        const char* record_path;
        const char* stream_path;
    } cases[] = {
        {kRecordInUse, "0", "\\d\\f.txt", "\\d\\f.txt:s"},
        {0, "1", "?\\d\\f.txt?", "?\\d\\f.txt:s?"},
        {kRecordIsDirectory, "1", "?\\d\\f.txt?", "?\\d\\f.txt:s?"},
    };
    for (const auto& c : cases) {
        record_.mft_header.record_flags = c.flags;
        const wxArrayString rows = Rows(wxS("\\d\\f.txt"));
        ASSERT_EQ(rows.size(), 2u);
        for (const wxString& row : rows) {
            EXPECT_EQ(Field(row, wxS("Deleted")), wxString(c.deleted));
        }
        EXPECT_EQ(Field(rows[0], wxS("FullPath")), wxString(c.record_path));
        EXPECT_EQ(Field(rows[1], wxS("FullPath")), wxString(c.stream_path));
    }
}

TEST_F(RowValuesTest, DirectoryWithoutData)
{
    format_ = ReportFormat::kLong;
    record_.mft_header.record_flags = kRecordInUse | kRecordIsDirectory;
    AddFileName(record_, wxS("My.Dir"), kNameSpaceWin32);
    ExpectOnlyRow({{"Directory", "1"}, {"ActualSize", ""}, {"AllocSize", ""}, {"Ext", "Dir"}, {"Resident", "0"}});
}

// Each stream row shows its own sizes and residency, the record row those of
// the first $DATA, named or not.
TEST_F(RowValuesTest, StreamRowsCarryTheirOwnStream)
{
    format_ = ReportFormat::kLong;
    const struct {
        bool unnamed_first;
        std::vector<std::vector<const char*>> rows;  // ADS, Filename, Actual, Alloc, Resident, FullPath
    } cases[] = {
        {true,
         {{"0", "name.bin", "5000", "8192", "0", "\\p"},
          {"1", "name.bin:a", "7", "7", "1", "\\p:a"},
          {"1", "name.bin:b", "70000", "73728", "0", "\\p:b"}}},
        {false,
         {{"0", "name.bin", "7", "7", "1", "\\p"},
          {"1", "name.bin:a", "7", "7", "1", "\\p:a"},
          {"1", "name.bin:b", "70000", "73728", "0", "\\p:b"}}},
    };
    const char* columns[] = {"ADS", "Filename", "ActualSize", "AllocSize", "Resident", "FullPath"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unnamed_first ? "unnamed stream first" : "named stream first");
        record_.Clear();
        record_.mft_header.record_flags = kRecordInUse;
        AddFileName(record_, wxS("name.bin"), kNameSpaceWin32);
        if (c.unnamed_first) {
            AddNonResidentData(record_, 5000, 8192);
        }
        AddResidentData(record_, 7, wxS("a"));
        AddNonResidentData(record_, 70000, 73728, wxS("b"));
        const wxArrayString rows = Rows(wxS("\\p"));
        ASSERT_EQ(rows.size(), c.rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t k = 0; k < 6; ++k) {
                EXPECT_EQ(Field(rows[r], columns[k]), wxString(c.rows[r][k])) << "row " << r << " " << columns[k];
            }
            EXPECT_EQ(Field(rows[r], wxS("Ext")), wxS("bin"));
        }
    }
}

TEST_F(RowValuesTest, NameSelectionAndFileNameTimes)
{
    format_ = ReportFormat::kLong;
    record_.mft_header.record_flags = kRecordInUse;
    SetTimes(AddFileName(record_, wxS("PROGRA~1"), kNameSpaceDos), kFiletime2009);
    SetTimes(AddFileName(record_, wxS("Program Files.d"), kNameSpaceWin32), kFiletime2012);
    SetTimes(AddFileName(record_, wxS("Other.x"), kNameSpacePosix), kFiletime2013);
    ExpectOnlyRow({{"Filename", "Program Files.d"},
                   {"Ext", "d"},
                   {"DOSFilename", "PROGRA~1"},
                   {"fnCreateTime (UTC)", "2009-10-14 13:20:00"},
                   {"fnMFTModTime (UTC)", "2009-10-14 13:20:00"}});
}

TEST_F(RowValuesTest, DosOnlyRecordHasNoFilename)
{
    format_ = ReportFormat::kLong;
    record_.mft_header.record_flags = kRecordInUse;
    AddFileName(record_, wxS("NOTES~1.TXT"), kNameSpaceDos);
    ExpectOnlyRow({{"Filename", ""}, {"Ext", ""}, {"DOSFilename", "NOTES~1.TXT"}});
}

TEST_F(RowValuesTest, FilenameAndExtension)
{
    const struct {
        const char* name;
        const char* filename;
        const char* ext;
    } cases[] = {
        {".profile", ".profile", ""}, {"archive.tar.gz", "archive.tar.gz", "gz"},
        {"name.", "name.", ""},       {"noext", "noext", ""},
        {"dir\\f.txt", "f.txt", "txt"}, {"C:x.y", "x.y", "y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        record_.Clear();
        AddFileName(record_, wxString::FromUTF8(c.name), kNameSpacePosix);
        ExpectOnlyRow({{"Filename", c.filename}, {"Ext", c.ext}});
    }
}

TEST_F(RowValuesTest, RootDirectoryRow)
{
    record_.mft_header.mft_recno = 5;
    record_.mft_header.record_flags = kRecordInUse | kRecordIsDirectory;
    AddFileName(record_, wxS("."), kNameSpaceWin32AndDos);
    ExpectOnlyRow({{"RecNo", "5"}, {"Filename", "."}, {"Ext", ""}, {"Directory", "1"}, {"FullPath", "\\"}},
                  wxS("\\"));
}

TEST_F(RowValuesTest, RecordNumbersAndLargeSizes)
{
    AddFileName(record_, wxS("big"), kNameSpaceWin32);
    MFTDataAttr& data = AddNonResidentData(record_, 0, 0);
    const struct {
        std::uint64_t recno;
        std::uint64_t size;
        const char* recno_text;
        const char* size_text;
    } cases[] = {
        {0, 0, "0", "0"},
        {4294967296ULL, 4294967296ULL, "4294967296", "4294967296"},
        {281474976710655ULL, 18446744073709551615ULL, "281474976710655", "18446744073709551615"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recno_text);
        record_.mft_header.mft_recno = c.recno;
        data.real_size = c.size;
        data.alloc_size = c.size;
        ExpectOnlyRow({{"RecNo", c.recno_text}, {"ActualSize", c.size_text}, {"AllocSize", c.size_text}});
    }
}

// One attribute bit at a time: exactly its own column shows "1".
TEST_F(RowValuesTest, AttributeFlagColumns)
{
    format_ = ReportFormat::kLong;
    AddFileName(record_, wxS("f"), kNameSpaceWin32);
    const struct {
        const char* column;
        std::uint32_t bit;
    } flags[] = {
        {"ReadOnly", 0x0001}, {"Hidden", 0x0002},     {"System", 0x0004},     {"Archive", 0x0020},
        {"Compressed", 0x0800}, {"Device", 0x0040},   {"Encrypted", 0x4000},  {"Indexed", 0x2000},
        {"Normal", 0x0080},   {"Offline", 0x1000},    {"ReparsePoint", 0x0400}, {"SparseFile", 0x0200},
        {"Temporary", 0x0100},
    };
    for (const auto& set : flags) {
        record_.std_info.file_attributes = set.bit;
        const wxArrayString rows = Rows();
        ASSERT_EQ(rows.size(), 1u);
        for (const auto& column : flags) {
            EXPECT_EQ(Field(rows[0], column.column), wxString(column.bit == set.bit ? "1" : "0"))
                << "bit " << set.bit << " column " << column.column;
        }
    }
    record_.std_info.file_attributes = 0xFFFFFFFF & ~0x0027u;  // every other bit set
    ExpectOnlyRow({{"Archive", "0"}, {"ReadOnly", "0"}, {"Indexed", "1"}});
}

// A record without $STANDARD_INFORMATION and with a name whose times were
// never set gives empty time fields, not a date before 1970.
TEST_F(RowValuesTest, NeverSetTimesAreEmpty)
{
    AddFileName(record_, wxS("f"), kNameSpaceWin32);
    const wxArrayString rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    for (const char* column : {"siCreateTime (UTC)", "siAccessTime (UTC)", "siModTime (UTC)", "siMFTModTime (UTC)",
                               "fnCreateTime (UTC)", "fnAccessTime (UTC)", "fnModTime (UTC)",
                               "fnMFTModTime (UTC)"}) {
        EXPECT_EQ(Field(rows[0], column), wxS("")) << column;
    }
    record_.std_info.access_time = FiletimeToDateTime(0);  // set, but to the epoch of FILETIME
    ExpectOnlyRow({{"siAccessTime (UTC)", "1601-01-01 00:00:00"}});
}

}  // namespace
}  // namespace varneth_test
