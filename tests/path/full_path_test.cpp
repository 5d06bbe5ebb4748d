#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <wx/file.h>

#include "path/adversarial_mft.h"
#include "path/full_path.h"
#include "support/cli_runner.h"
#include "support/diagnostic_texts.h"
#include "support/record_builder.h"

namespace varneth_test {
namespace {

constexpr std::uint64_t kRoot = 5;
constexpr std::uint64_t kRecordCount = 200;
constexpr std::uint64_t kDeepChainStart = 40;  // records 40 to 99: d0 to d59
constexpr std::uint64_t kShallowChainStart = 110;  // records 110 to 158: e0 to e48

Bytes Named(const std::string& name, std::uint64_t parent, bool directory = false)
{
    return RecordBuilder()
        .Directory(directory)
        .StandardInformation(Times::All(kSomeFiletime))
        .FileName(U16(name), kWin32AndDos, parent, Times::All(kSomeFiletime))
        .Build();
}

// Every record the tests walk through, by record number; gaps stay zero.
std::map<std::uint64_t, Bytes> TestRecords()
{
    std::map<std::uint64_t, Bytes> records = SystemRecordMap();
    records[16] = Named("Windows", kRoot, true);
    records[17] = Named("System32", 16, true);
    records[18] = Named("drivers", 17, true);
    records[19] = Named("etc", 18, true);
    records[20] = Named("hosts", 19);
    records[21] = Named("a.txt", kRoot);
    records[22] = RecordBuilder().FileName(u"ONLYDOS.TXT", kDos, kRoot).Build();
    records[23] = RecordBuilder().FileName(u"APP~1.INI", kDos, 19).FileName(u"app.ini", kWin32, 16).Build();
    records[24] = Named(".profile", kRoot);
    records[25] = Named("Users", kRoot, true);
    records[26] = Named("x", 25, true);
    records[27] = Named(".config", 26, true);
    records[28] = Named("app.ini", 27);
    // records[29] stays zero: not a FILE record.
    records[30] = Named("d", 29, true);
    records[31] = Named("x.txt", 30);
    records[32] = Named("broken", kRoot, true);
    records[32][510] ^= 0xFF;  // the sector end no longer matches the update sequence
    records[33] = Named("d2", 32, true);
    records[34] = Named("x.txt", 33);
    records[35] = Named("f", 12);  // 12: a reserved record without a name
    records[36] = Named("f", 5000);  // parent beyond the end of the file
    records[37] = RecordBuilder().InUse(false).Directory(true).FileName(u"gone", kWin32, kRoot).Build();
    records[38] = Named("f", 37);
    records[39] = RecordBuilder().FileName(u"", kWin32, 19).FileName(u"real", kPosix, kRoot).Build();
    for (std::uint64_t i = 0; i < 60; ++i) {
        records[kDeepChainStart + i] = Named("d" + std::to_string(i), i == 0 ? kRoot : kDeepChainStart + i - 1, true);
    }
    records[170] = Named(".", 19, true);  // a second root, deep in the tree
    records[171] = Named("under a second root", 170);
    records[100] = Named("p", 101, true);  // a parent loop
    records[101] = Named("q", 100, true);
    for (std::uint64_t i = 0; i < 49; ++i) {
        records[kShallowChainStart + i] =
            Named("e" + std::to_string(i), i == 0 ? kRoot : kShallowChainStart + i - 1, true);
    }
    return records;
}

std::string JoinedChain(const char* prefix, int first, int last)
{
    std::string path;
    for (int i = first; i <= last; ++i) {
        path += (i == first ? "" : "\\") + std::string(prefix) + std::to_string(i);
    }
    return path;
}

const std::string kOrphans = "\\$OrphanFiles\\";

class FullPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ImageOf(TestRecords(), kRecordCount).WriteTo(path_);
        ASSERT_TRUE(file_.Open(path_));
    }

    TempDir dir_;
    const std::string path_ = dir_.File("full_path.mft");
    wxFile file_;  // closed before the directory goes
};

struct PathCase {
    const char* label;
    std::uint64_t recno;
    std::string expected;
    const char* last_error;  // null: no error from the walk
    const char* warning;     // null: no warning
};

const char kDecodeError[] = "GetFullPathString() - Error creating MFTFileRecord.";
const char kBoundError[] = "GetFullPathString() - passed in mft_recno is greater than record count.";
const char kMagicWarning[] = "GetFullPathString() - Invalid MFT magic in MFT file record.";

std::vector<PathCase> PathCases()
{
    return {
        {"deep file", 20, "\\Windows\\System32\\drivers\\etc\\hosts", nullptr, nullptr},
        {"file under the root", 21, "\\a.txt", nullptr, nullptr},
        {"root itself", kRoot, "\\", nullptr, nullptr},
        {"record number equal to the count", kRecordCount, "\\$OrphanFiles", nullptr, nullptr},
        {"record number beyond the count", kRecordCount + 1, "", kBoundError, nullptr},
        // 2^54 * 1024 wraps to 0 in 64 bits and must not pass for record 0.
        {"record number whose offset overflows", std::uint64_t{1} << 54, "", kBoundError, nullptr},
        {"only a DOS name", 22, "\\", nullptr, nullptr},
        {"DOS name first, Win32 second", 23, "\\Windows\\app.ini", nullptr, nullptr},
        {"dot file", 24, "\\.profile", nullptr, nullptr},
        {"dot directory", 28, "\\Users\\x\\.config\\app.ini", nullptr, nullptr},
        {"parent is not a FILE record", 31, "\\$OrphanFiles\\d\\x.txt", nullptr, kMagicWarning},
        {"parent fails to decode", 34, "\\$OrphanFiles\\d2\\x.txt", kDecodeError, nullptr},
        {"no $FILE_NAME, asked directly", 12, "\\$OrphanFiles", nullptr, nullptr},
        {"no $FILE_NAME in the chain", 35, "\\$OrphanFiles\\f", nullptr, nullptr},
        {"parent beyond the end of the file", 36, "\\$OrphanFiles\\f", nullptr, nullptr},
        {"deleted directory in the chain", 38, "\\gone\\f", nullptr, nullptr},
        {"empty Win32 name skipped", 39, "\\real", nullptr, nullptr},
        {"49 names below the root", kShallowChainStart + 48, "\\" + JoinedChain("e", 0, 48), nullptr, nullptr},
        {"50 names: past the limit", kDeepChainStart + 49, kOrphans + JoinedChain("d", 0, 49), nullptr, nullptr},
        {"60 names: the last 50", kDeepChainStart + 59, kOrphans + JoinedChain("d", 10, 59), nullptr, nullptr},
        {"parent loop", 100, kOrphans + "q\\p", nullptr, nullptr},
        {"a \".\" that is not the root", 171, kOrphans + "under a second root", nullptr, nullptr},
    };
}

TEST_F(FullPathTest, PathsMessagesAndFilePosition)
{
    for (const PathCase& c : PathCases()) {
        SCOPED_TRACE(c.label);
        constexpr wxFileOffset kPosition = 7 * kRecordSize;
        ASSERT_EQ(file_.Seek(kPosition), kPosition);
        Diagnostics diagnostics;
        const wxString path = GetFullPathString(file_, c.recno, diagnostics);
        EXPECT_EQ(path.utf8_string(), c.expected);

        const std::vector<wxString> errors = TextsAt(diagnostics, DiagnosticLevel::kError);
        if (c.last_error == nullptr) {
            EXPECT_TRUE(errors.empty()) << errors.front().utf8_string();
        } else {
            ASSERT_FALSE(errors.empty());
            EXPECT_EQ(errors.back(), wxString(c.last_error));
        }
        const std::vector<wxString> warnings = TextsAt(diagnostics, DiagnosticLevel::kWarning);
        const std::vector<wxString> expected_warnings =
            c.warning == nullptr ? std::vector<wxString>{} : std::vector<wxString>{wxString(c.warning)};
        EXPECT_EQ(warnings, expected_warnings);

        // The next sequential read gets record 7, as if the call never happened.
        EXPECT_EQ(file_.Tell(), kPosition);
        Bytes block(kRecordSize);
        ASSERT_EQ(file_.Read(block.data(), kRecordSize), static_cast<ssize_t>(kRecordSize));
        EXPECT_EQ(GetLE(block, 44, 4), 7u);  // the record number record 7 stores
    }
}

TEST_F(FullPathTest, FileThatIsNotOpen)
{
    wxFile closed;
    Diagnostics diagnostics;
    EXPECT_EQ(GetFullPathString(closed, kRoot, diagnostics), wxString());
    const std::vector<wxString> expected = {wxS("GetFullPathString() - passed in MFT file is not opened.")};
    EXPECT_EQ(Texts(diagnostics), expected);
    EXPECT_EQ(TextsAt(diagnostics, DiagnosticLevel::kError), expected);
}

}  // namespace
}  // namespace varneth_test
