#include <gtest/gtest.h>

#include <string>

#include "record_fixtures.h"
#include "report/report_columns.h"
#include "text/utf8_text.h"

namespace varneth_test {
namespace {

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

TEST(ReportHeaderTest, HeaderLineOfEachFormatByteForByte)
{
    const ReportSettingsGuard settings;
    for (const HeaderCase& c : kHeaderCases) {
        SCOPED_TRACE(c.label);
        ReportSettingsGuard::SetFormat(c.long_format, c.short_format);
        EXPECT_EQ(ToUtf8(GetReportHeaderString()), c.expected);
    }
}

}  // namespace
}  // namespace varneth_test
