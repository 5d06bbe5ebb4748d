#include <gtest/gtest.h>

#include <string>

#include "app/run_settings.h"
#include "report/report_columns.h"

namespace {

// Restores the format switches after each test.
class ReportHeaderTest : public ::testing::Test {
protected:
    void SetFormat(bool long_format, bool short_format)
    {
        run_settings.long_format = long_format;
        run_settings.short_format = short_format;
    }
    void TearDown() override { SetFormat(saved_long_, saved_short_); }

private:
    bool saved_long_ = run_settings.long_format;
    bool saved_short_ = run_settings.short_format;
};

struct HeaderCase {
    const char* label;
    bool long_format;
    bool short_format;
    const char* expected;
};

const HeaderCase kHeaderCases[] = {
    {"default", false, false,
     "RecNo\tDeleted\tDirectory\tADS\tFilename\tsiCreateTime (UTC)\tsiAccessTime (UTC)\tsiModTime (UTC)\t"
     "siMFTModTime (UTC)\tActualSize\tAllocSize\tExt\tFullPath\tfnCreateTime (UTC)\tfnAccessTime (UTC)\t"
     "fnModTime (UTC)\tfnMFTModTime (UTC)\tReadOnly\tHidden\tSystem\tHostname\n"},
    {"short", false, true,
     "RecNo\tDeleted\tDirectory\tADS\tFilename\tsiCreateTime (UTC)\tsiAccessTime (UTC)\tsiModTime (UTC)\t"
     "siMFTModTime (UTC)\tActualSize\tExt\tFullPath\tReadOnly\tHidden\tSystem\tHostname\n"},
    {"long", true, false,
     "RecNo\tDeleted\tDirectory\tADS\tFilename\tDOSFilename\tsiCreateTime (UTC)\tsiAccessTime (UTC)\t"
     "siModTime (UTC)\tsiMFTModTime (UTC)\tActualSize\tAllocSize\tExt\tFullPath\tfnCreateTime (UTC)\t"
     "fnAccessTime (UTC)\tfnModTime (UTC)\tfnMFTModTime (UTC)\tReadOnly\tHidden\tSystem\tResident\tArchive\t"
     "Compressed\tDevice\tEncrypted\tIndexed\tNormal\tOffline\tReparsePoint\tSparseFile\tTemporary\tHostname\n"},
    // The command line refuses both switches; the header is then empty.
    {"both", true, true, ""},
};

TEST_F(ReportHeaderTest, HeaderLineOfEachFormatByteForByte)
{
    for (const HeaderCase& c : kHeaderCases) {
        SCOPED_TRACE(c.label);
        SetFormat(c.long_format, c.short_format);
        const wxString header = GetReportHeaderString();
        const wxScopedCharBuffer utf8 = header.utf8_str();
        EXPECT_EQ(std::string(utf8.data(), utf8.length()), c.expected);
    }
}

}  // namespace
