// Packing the report into a zip archive: the archive is read back by Python's
// zipfile (and checked by unzip), and every failure must return -1, say why
// and leave the report as it was.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <wx/convauto.h>
#include <wx/datetime.h>
#include <wx/textfile.h>

#include "archive/output_compression.h"
#include "archive/report_archive_draft.h"
#include "base/log_message.h"
#include "base/output_file.h"
#include "base/run_settings.h"
#include "support/cli_runner.h"
#include "support/log_capture.h"

using namespace varneth_test;

namespace {

struct ArchivedEntry {
    std::string name;
    int method = -1;
    std::string time;  // local, YYYYMMDDhhmmss
    std::string content;
};

struct ArchiveContents {
    bool valid = false;  // opened, and every entry passed its CRC check
    std::vector<ArchivedEntry> entries;
};

std::string RunCommand(const std::string& command, int* status)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        *status = -1;
        return output;
    }
    char block[65536];
    for (std::size_t count; (count = fread(block, 1, sizeof block, pipe)) > 0;) {
        output.append(block, count);
    }
    *status = pclose(pipe);
    return output;
}

std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

const char kZipReader[] =
    "import sys, zipfile\n"
    "z = zipfile.ZipFile(sys.argv[1])\n"
    "print(\"good\" if z.testzip() is None else \"bad\")\n"
    "for i in z.infolist():\n"
    "    print(i.filename.encode(\"utf-8\").hex(), i.compress_type,\n"
    "          \"%04d%02d%02d%02d%02d%02d\" % i.date_time, z.read(i).hex() or \"-\")\n";

ArchiveContents ReadArchive(const std::string& path)
{
    int status = 0;
    std::istringstream out(RunCommand("/usr/bin/python3 -c '" + std::string(kZipReader) + "' '" + path + "' 2>&1", &status));
    ArchiveContents archive;
    std::string verdict;
    out >> verdict;
    archive.valid = status == 0 && verdict == "good";
    std::string name_hex, content_hex;
    ArchivedEntry entry;
    while (out >> name_hex >> entry.method >> entry.time >> content_hex) {
        entry.name = FromHex(name_hex);
        entry.content = content_hex == "-" ? std::string() : FromHex(content_hex);
        archive.entries.push_back(entry);
    }
    return archive;
}

bool UnzipAccepts(const std::string& path)
{
    int status = 0;
    RunCommand("unzip -tq '" + path + "' >/dev/null 2>&1", &status);
    return status == 0;
}

// The archive's single entry; without a valid archive of one entry, a
// failure and an entry whose name and content match nothing.
ArchivedEntry OnlyEntry(const std::string& zip_path)
{
    const ArchiveContents archive = ReadArchive(zip_path);
    EXPECT_TRUE(archive.valid) << zip_path;
    EXPECT_EQ(archive.entries.size(), 1u) << zip_path;
    if (!archive.valid || archive.entries.size() != 1) {
        return {"<no valid archive with one entry>", -1, "", "<no valid archive with one entry>"};
    }
    return archive.entries[0];
}

std::string Encode(const wxMBConv& conv, const std::string& utf8)
{
    const wxString text = wxString::FromUTF8(utf8);
    const std::size_t size = conv.FromWChar(nullptr, 0, text.wc_str(), text.length());
    std::string bytes(size, '\0');
    conv.FromWChar(&bytes[0], size, text.wc_str(), text.length());
    return bytes;
}

// Compares texts of megabytes without printing them whole on failure.
::testing::AssertionResult SameText(const std::string& actual, const std::string& expected)
{
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at byte " << at << ": "
                                         << ::testing::PrintToString(actual.substr(at, 40)) << " instead of "
                                         << ::testing::PrintToString(expected.substr(at, 40));
}

// What wxTextFile with wxConvAuto makes of a file: its lines, each ended by
// LF, as UTF-8.
std::string LinesAsWxTextFileReadsThem(const std::string& path)
{
    wxTextFile text;
    if (!text.Open(wxString::FromUTF8(path), wxConvAuto())) {
        return "<wxTextFile failed>";
    }
    std::string joined;
    for (size_t i = 0; i < text.GetLineCount(); ++i) {
        const wxScopedCharBuffer line = text[i].utf8_str();
        joined.append(line.data(), line.length());
        joined += '\n';
    }
    return joined;
}

class ZipOutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_cwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        saved_output_ = run_settings.output_filename;
        log_message.clear();
    }

    void TearDown() override
    {
        run_settings.output_filename = saved_output_;
        std::filesystem::current_path(saved_cwd_);
    }

    int Zip(const std::string& report, const std::string& zip)
    {
        run_settings.output_filename = wxString::FromUTF8(report);
        return ZipOutputFile(wxString::FromUTF8(zip));
    }

    // Packs content as the report "report.txt" and returns the entry's
    // content; the entry must be named after the report.
    std::string PackAndRead(const std::string& content)
    {
        WriteFile(dir_.File("report.txt"), content);
        if (Zip("report.txt", "report.txt.zip") != 0) {
            return "<ZipOutputFile failed>";
        }
        const ArchivedEntry entry = OnlyEntry(dir_.File("report.txt.zip"));
        EXPECT_EQ(entry.name, "report.txt");
        return entry.content;
    }

    // As PackAndRead, the report written as a run writes it, with a draft
    // deflated alongside: whether the draft is taken or not, the entry must
    // be what packing the report gives.
    std::string PackThroughDraftAndRead(const std::string& content, const std::string& added_later = "")
    {
        auto owned = std::make_unique<ReportArchiveDraft>();
        ReportArchiveDraft& draft = *owned;
        OutputFile writer;
        if (!draft.Start(wxS("report.txt")) || !writer.Open(wxS("report.txt"))) {
            return "<no draft>";
        }
        writer.CopyTo(std::move(owned));
        writer.Bytes() += content;
        if (!writer.Close()) {
            return "<report not written>";
        }
        if (!added_later.empty()) {
            WriteFile(dir_.File("report.txt"), content + added_later);
        }
        run_settings.output_filename = wxS("report.txt");
        if (ZipOutputFile(wxS("report.txt.zip"), &draft) != 0) {
            return "<ZipOutputFile failed>";
        }
        draft_taken_ = draft.Finish(0);  // finished already: tells what it told
        const ArchivedEntry entry = OnlyEntry(dir_.File("report.txt.zip"));
        EXPECT_EQ(entry.name, "report.txt");
        return entry.content;
    }

    std::vector<wxString> Errors() const { return log_.TextsAt(wxLOG_Error); }

    // Zip fails, and its last error line says why.
    void ExpectFailure(const std::string& report, const std::string& zip, const char* error)
    {
        log_.Clear();
        EXPECT_EQ(Zip(report, zip), -1);
        const std::vector<wxString> errors = Errors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), error);
    }

    TempDir dir_;
    bool draft_taken_ = false;
    LogCapture log_;
    std::filesystem::path saved_cwd_;
    wxString saved_output_;
};

using ZipOutputFileFailureTest = ZipOutputFileTest;

TEST_F(ZipOutputFileTest, PacksReportIntoOneDeflatedEntryStampedNow)
{
    // Long enough for deflate to win: the zip stream stores what it cannot shrink.
    std::string report = "Record Number\tFilename\tFull Path\n";
    for (int i = 0; i < 20; ++i) {
        report += std::to_string(i) + "\tfile" + std::to_string(i) + ".txt\tC:\\dir\\file" + std::to_string(i) + ".txt\n";
    }
    WriteFile(dir_.File("varneth_localhost.txt"), report);

    ASSERT_EQ(Zip("varneth_localhost.txt", "varneth_localhost.txt.zip"), 0);

    const std::string zip_path = dir_.File("varneth_localhost.txt.zip");
    EXPECT_TRUE(UnzipAccepts(zip_path));
    const ArchivedEntry entry = OnlyEntry(zip_path);
    EXPECT_EQ(entry.name, "varneth_localhost.txt");
    EXPECT_EQ(entry.method, 8);  // deflate
    EXPECT_EQ(entry.content, report);
    wxDateTime stamped;
    ASSERT_TRUE(stamped.ParseFormat(entry.time, "%Y%m%d%H%M%S"));
    EXPECT_LE((wxDateTime::Now() - stamped).Abs().GetSeconds().ToLong(), 120);
    EXPECT_EQ(ReadFile(dir_.File("varneth_localhost.txt")), report);  // the caller deletes it
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ZipOutputFileTest, EntryIsNamedAfterReportPathWithoutRootOrDotParts)
{
    const std::string here = std::filesystem::path(dir_.path()).filename().string();
    struct Case {
        std::string report;
        std::string entry;
    };
    const Case cases[] = {
        {"out/run1.txt", "out/run1.txt"},
        {"./out/./run1.txt", "out/run1.txt"},
        {"out//run1.txt", "out/run1.txt"},
        {"out/../out/run1.txt", "out/run1.txt"},
        {"../" + here + "/out/run1.txt", here + "/out/run1.txt"},
        {dir_.path() + "/out/run1.txt", dir_.path().substr(1) + "/out/run1.txt"},
        {"out/rapport_\xC3\xA9t\xC3\xA9.txt", "out/rapport_\xC3\xA9t\xC3\xA9.txt"},
    };
    std::filesystem::create_directory(dir_.File("out"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        WriteFile(c.report, "line\n");
        ASSERT_EQ(Zip(c.report, c.report + ".zip"), 0);
        const ArchivedEntry entry = OnlyEntry(c.report + ".zip");
        EXPECT_EQ(entry.name, c.entry);
        EXPECT_EQ(entry.content, "line\n");
    }
}

TEST_F(ZipOutputFileTest, EntryHoldsReportLinesEachEndedByLf)
{
    struct Case {
        const char* label;
        std::string report;
        std::string entry;
    };
    const Case cases[] = {
        {"LF", "a\tb\nc\n", "a\tb\nc\n"},
        {"CR LF", "a\r\nb\r\n", "a\nb\n"},
        {"CR", "a\rb\r", "a\nb\n"},
        {"mixed, no final terminator", "a\nb\r\nc\rd", "a\nb\nc\nd\n"},
        {"empty lines: LF, CR LF, CR", "\n\r\n\r", "\n\n\n"},
        {"LF then CR is two ends", "x\n\ry", "x\n\ny\n"},
        {"one line, no terminator", "x", "x\n"},
        {"UTF-8", "Gr\xC3\xB6\xC3\x9F" "e\t\xE6\x97\xA5\r\n\xF0\x9F\x99\x82", "Gr\xC3\xB6\xC3\x9F" "e\t\xE6\x97\xA5\n\xF0\x9F\x99\x82\n"},
        {"UTF-8 mark dropped", "\xEF\xBB\xBF" "a\r\n", "a\n"},
        {"NUL kept", std::string("a\0b\n", 4), std::string("a\0b\n", 4)},
        // Bytes that are not UTF-8 pass unchanged rather than turning the
        // whole entry into Latin-1 text or dropping the line.
        {"not UTF-8", "caf\xE9\r\n\xF4\x90\x80\x80\n", "caf\xE9\n\xF4\x90\x80\x80\n"},
        // An empty report still gives its one, empty, entry.
        {"empty", "", ""},
        {"UTF-8 mark only", "\xEF\xBB\xBF", ""},
        {"UTF-16LE mark only", "\xFF\xFE", ""},
        {"UTF-16BE mark only", "\xFE\xFF", ""},
        {"UTF-32LE mark only", std::string("\xFF\xFE\0\0", 4), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(PackAndRead(c.report), c.entry);
        EXPECT_EQ(PackThroughDraftAndRead(c.report), c.entry);
    }
}

TEST_F(ZipOutputFileTest, DraftStandsInOnlyForTheReportAsItIsNow)
{
    EXPECT_EQ(PackThroughDraftAndRead("a\tb\nc\n"), "a\tb\nc\n");
    EXPECT_TRUE(draft_taken_);
    // Someone wrote to the report after the run: the report is packed.
    EXPECT_EQ(PackThroughDraftAndRead("a\tb\nc\n", "d\n"), "a\tb\nc\nd\n");
    EXPECT_FALSE(draft_taken_);
    EXPECT_EQ(PackThroughDraftAndRead("a\r\n"), "a\n");
    EXPECT_FALSE(draft_taken_);
}

TEST_F(ZipOutputFileTest, TextWithByteOrderMarkIsDecodedAsWxTextFileDoes)
{
    const std::string text = "a\r\nG\xC3\xB6\rz\xF0\x9F\x99\x82\n\nend";
    const struct {
        const char* label;
        std::string report;
    } cases[] = {
        {"UTF-16LE", std::string("\xFF\xFE", 2) + Encode(wxMBConvUTF16LE(), text)},
        {"UTF-16BE", std::string("\xFE\xFF", 2) + Encode(wxMBConvUTF16BE(), text)},
        {"UTF-32LE", std::string("\xFF\xFE\0\0", 4) + Encode(wxMBConvUTF32LE(), text)},
        {"UTF-32BE", std::string("\0\0\xFE\xFF", 4) + Encode(wxMBConvUTF32BE(), text)},
        {"UTF-8", "\xEF\xBB\xBF" + text},
        {"no mark", text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string entry = PackAndRead(c.report);
        EXPECT_EQ(entry, "a\nG\xC3\xB6\nz\xF0\x9F\x99\x82\n\nend\n");
        EXPECT_EQ(entry, LinesAsWxTextFileReadsThem(dir_.File("report.txt")));
    }
}

// The report is read in blocks of 1 MiB: line ends, and CR LF pairs in
// particular, must not be split or doubled at a block's edge, and a line
// longer than a block must come through whole. LF-ended lines are taken in
// bulk, a line with CR one by one; the two must meet without a gap.
TEST_F(ZipOutputFileTest, LinesSurviveReadBlockEdges)
{
    const std::size_t block = std::size_t{1} << 20;
    std::string report = std::string(block - 1, 'x') + "\r\n";  // CR last in block 1
    std::string entry = std::string(block - 1, 'x') + "\n";
    report += std::string(block - 2, 'y') + "\r" + "z\r";  // bare CR last in block 2
    entry += std::string(block - 2, 'y') + "\n" + "z\n";
    for (int i = 0; i < 30000; ++i) {
        const std::string line = std::to_string(i) + std::string(i % 97, '\t') + "\xC3\xA9";
        report += line + "\r\n";
        entry += line + "\n";
    }
    // Lines ended by LF alone go in bulk, across block edges, up to a bare CR.
    for (int i = 0; i < 40000; ++i) {
        const std::string line = std::to_string(i) + std::string(i % 89, 'v');
        report += line + (i == 20000 ? "\r" : "\n");
        entry += line + "\n";
    }
    report += std::string(3 * block, 'w');
    entry += std::string(3 * block, 'w') + "\n";
    EXPECT_TRUE(SameText(PackAndRead(report), entry));

    // UTF-16: the CR unit is the last unit of the first block.
    std::string utf16 = "\xFF\xFE";
    for (std::size_t i = 0; i < (block - 4) / 2; ++i) {
        utf16 += std::string("a\0", 2);
    }
    utf16 += std::string("\r\0\n\0b\0", 6);
    EXPECT_TRUE(SameText(PackAndRead(utf16), std::string((block - 4) / 2, 'a') + "\nb\n"));
}

TEST_F(ZipOutputFileTest, PackingAgainOverwritesArchive)
{
    WriteFile(dir_.File("report.txt.zip"), std::string(100000, 'j'));  // not an archive
    EXPECT_EQ(PackAndRead("first\nreport\nwith more lines\n"), "first\nreport\nwith more lines\n");
    EXPECT_EQ(PackAndRead("second\n"), "second\n");
    EXPECT_TRUE(UnzipAccepts(dir_.File("report.txt.zip")));
}

TEST_F(ZipOutputFileFailureTest, RefusesInOrderAndCreatesNothing)
{
    WriteFile(dir_.File("report.txt"), "line\n");
    std::filesystem::create_directory(dir_.File("adir"));
    ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
    struct Case {
        std::string report;
        std::string zip;
        const char* error;
    };
    const Case cases[] = {
        {"", "", "ZipOutputFile() - output_filename is empty."},
        {"", "x.zip", "ZipOutputFile() - output_filename is empty."},
        {"report.txt", "", "ZipOutputFile() - zip_filename is empty."},
        {"missing.txt", "", "ZipOutputFile() - zip_filename is empty."},
        {"missing.txt", "missing.txt.zip", "ZipOutputFile() - output_filename does not exist."},
        {"adir", "adir.zip", "ZipOutputFile() - output_filename does not exist."},
        {"fifo", "fifo.zip", "ZipOutputFile() - output_filename does not exist."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report + " / " + c.zip);
        log_.Clear();
        EXPECT_EQ(Zip(c.report, c.zip), -1);
        EXPECT_EQ(Errors(), std::vector<wxString>{c.error});
        EXPECT_EQ(log_message, c.error);
        const std::filesystem::directory_iterator listing(dir_.path());
        EXPECT_EQ(std::distance(begin(listing), end(listing)), 3);  // report.txt, adir, fifo
    }
    EXPECT_EQ(ReadFile(dir_.File("report.txt")), "line\n");
}

TEST_F(ZipOutputFileFailureTest, ArchiveThatCannotBeCreatedKeepsReport)
{
    WriteFile(dir_.File("report.txt"), "line\n");
    std::filesystem::create_directory(dir_.File("taken"));
    const std::string cases[] = {"taken", "missing/report.txt.zip"};
    for (const std::string& zip : cases) {
        SCOPED_TRACE(zip);
        ExpectFailure("report.txt", zip, "ZipOutputFile() - zip_filename could not be created.");
        EXPECT_EQ(ReadFile(dir_.File("report.txt")), "line\n");
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir_.File("taken")));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.File("taken")));
    EXPECT_FALSE(FileExists(dir_.File("missing")));
}

TEST_F(ZipOutputFileFailureTest, WriteFailureKeepsReport)
{
    struct stat before {};
    if (stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) {
        GTEST_SKIP() << "no /dev/full";
    }
    std::string big;  // fills the stream buffers many times, so writes fail mid-copy
    for (int i = 0; big.size() < (std::size_t{4} << 20); ++i) {
        big += std::to_string(i * 7919) + "\tsome text that deflate cannot fold away " + std::to_string(i) + "\n";
    }
    const std::string reports[] = {"line\n", big};
    for (const std::string& report : reports) {
        SCOPED_TRACE(report.size());
        WriteFile(dir_.File("report.txt"), report);
        ExpectFailure("report.txt", "/dev/full", "ZipOutputFile() - zip_filename could not be written.");
        EXPECT_EQ(ReadFile(dir_.File("report.txt")), report);
    }
    struct stat after {};
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
}

// The report is read before the archive is opened: an unreadable one leaves
// an archive of that name as it was, and creates none.
TEST_F(ZipOutputFileFailureTest, UnreadableReportLeavesArchiveNameAlone)
{
    // A regular file to stat, whose first read fails with EIO: no other way
    // to make reading fail when the tests run as root.
    const std::string report = "/proc/self/mem";
    if (!wxFileExists(report)) {
        GTEST_SKIP() << "no " << report;
    }
    WriteFile(dir_.File("older.zip"), "an older archive");
    for (const std::string zip : {"older.zip", "mem.zip"}) {
        SCOPED_TRACE(zip);
        ExpectFailure(report, zip, "ZipOutputFile() - output_filename could not be read.");
    }
    EXPECT_EQ(ReadFile(dir_.File("older.zip")), "an older archive");
    EXPECT_FALSE(FileExists(dir_.File("mem.zip")));
}

// Text that cannot be decoded shows only after the archive is begun: the
// partial archive must not stay behind looking complete.
TEST_F(ZipOutputFileFailureTest, UndecodableReportLeavesNoArchive)
{
    const struct {
        const char* label;
        std::string report;
    } cases[] = {
        {"lone surrogate", std::string("\xFF\xFEo\0k\0\r\0\n\0\x00\xD8x\0\n\0", 16)},
        {"odd size", std::string("\xFF\xFEo\0k\0\n\0o", 9)},
        {"beyond Unicode", std::string("\xFF\xFE\0\0o\0\0\0\n\0\0\0\0\0\x11\0", 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(dir_.File("report.txt"), c.report);
        for (const bool archive_existed : {false, true}) {
            if (archive_existed) {
                WriteFile(dir_.File("report.txt.zip"), "an older file");
            }
            ExpectFailure("report.txt", "report.txt.zip", "ZipOutputFile() - output_filename is not valid text.");
            // One this call made is removed; one that was there is left empty.
            EXPECT_EQ(FileExists(dir_.File("report.txt.zip")), archive_existed);
            EXPECT_EQ(ReadFile(dir_.File("report.txt.zip")), "");
            EXPECT_EQ(ReadFile(dir_.File("report.txt")), c.report);
        }
        std::filesystem::remove(dir_.File("report.txt.zip"));
    }
}

}  // namespace
