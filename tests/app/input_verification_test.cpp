// IsValidMFTFile on its own: one error line of its own for every refusal.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/input_verification.h"
#include "support/cli_runner.h"
#include "support/log_capture.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

TEST(IsValidMFTFileTest, EachRefusalLogsExactlyOneErrorLine)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("adir"));
    MftImage().AddRawBytes(Bytes(3 * kRecordSize, 0)).WriteTo(dir.File("zeros.mft"));
    const struct {
        std::string name;
        std::string expected;
    } cases[] = {
        {"", "IsValidMFTFile() - strFilename parameter is empty."},
        {dir.File("adir"), dir.File("adir") + " is a directory."},
        {dir.File("none%s.mft"), "$MFT file " + dir.File("none%s.mft") + " does not exist.\n"},
        {dir.File("zeros.mft"), "File " + dir.File("zeros.mft") + " is not a valid $MFT file.\n"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_FALSE(IsValidMFTFile(wxString::FromUTF8(c.name))) << c.name;
        ASSERT_EQ(log.TextsAt(wxLOG_Error).size(), 1u) << c.name;
        EXPECT_EQ(log.TextsAt(wxLOG_Error)[0].utf8_string(), c.expected);
    }
}

TEST(IsValidMFTFileTest, OnlyTheFirstFiveSignaturesCount)
{
    TempDir dir;
    Bytes bytes = SystemRecords().bytes();
    bytes[5 * kRecordSize] = 'X';  // record 5 is never looked at
    MftImage().AddRawBytes(bytes).WriteTo(dir.File("in.mft"));
    LogCapture log;
    EXPECT_TRUE(IsValidMFTFile(wxString::FromUTF8(dir.File("in.mft"))));
    EXPECT_TRUE(log.Texts().empty());
}

}  // namespace
