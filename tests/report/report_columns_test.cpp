#include <gtest/gtest.h>

#include <string>

#include "report/report_columns.h"
#include "text/utf8_text.h"

namespace varneth_test {
namespace {

struct HeaderCase {
    const char* label;
    ReportFormat format;
    const char* expected;
};

const HeaderCase kHeaderCases[] = {
    {"default", ReportFormat::kDefault,
     "RecNo\tDeleted\tDirectory\tADS\tFilename\tsiCreateTime (UTC)\tsiAccessTime (UTC)\tsiModTime (UTC)\t"
     "siMFTModTime (UTC)\tActualSize\tAllocSize\tExt\tFullPath\tfnCreateTime (UTC)\tfnAccessTime (UTC)\t"
     "fnModTime (UTC)\tfnMFTModTime (UTC)\tReadOnly\tHidden\tSystem\tHostname\n"},
    {"short", ReportFormat::kShort,
     "RecNo\tDeleted\tDirectory\tADS\tFilename\tsiCreateTime (UTC)\tsiAccessTime (UTC)\tsiModTime (UTC)\t"
     "siMFTModTime (UTC)\tActualSize\tExt\tFullPath\tReadOnly\tHidden\tSystem\tHostname\n"},
    {"long", ReportFormat::kLong,
     "RecNo\tDeleted\tDirectory\tADS\tFilename\tDOSFilename\tsiCreateTime (UTC)\tsiAccessTime (UTC)\t"
     "siModTime (UTC)\tsiMFTModTime (UTC)\tActualSize\tAllocSize\tExt\tFullPath\tfnCreateTime (UTC)\t"
     "fnAccessTime (UTC)\tfnModTime (UTC)\tfnMFTModTime (UTC)\tReadOnly\tHidden\tSystem\tResident\tArchive\t"
     "Compressed\tDevice\tEncrypted\tIndexed\tNormal\tOffline\tReparsePoint\tSparseFile\tTemporary\tHostname\n"},
};

TEST(ReportHeaderTest, HeaderLineOfEachFormatByteForByte)
{
    for (const HeaderCase& c : kHeaderCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ToUtf8(GetReportHeaderString(c.format)), c.expected);
    }
}

}  // namespace
}  // namespace varneth_test
