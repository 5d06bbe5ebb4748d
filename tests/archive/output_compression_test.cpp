// The zip step: the draft deflated while the report was written becomes the
// archive, read back by Python's zipfile (and checked by unzip); every
// failure must return -1, say why and leave the report as it was.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <csignal>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <wx/datetime.h>
#include <wx/ffile.h>

#include "archive/output_compression.h"
#include "archive/report_archive_draft.h"
#include "base/log_message.h"
#include "base/output_file.h"
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

std::uint32_t LittleEndian32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = (value << 8) | (at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0);
    }
    return value;
}

// What the local header and the central directory say of the archive's
// first entry: its DOS time and date, its flags (bit 11: the name is UTF-8),
// and the system the central directory says made it.
struct EntryHeaders {
    std::uint32_t local_time = 0;
    std::uint32_t central_time = 0;
    std::uint32_t local_flags = 0;
    std::uint32_t central_flags = 0;
    std::uint32_t made_by_system = 0;
};

EntryHeaders ReadEntryHeaders(const std::string& archive)
{
    EntryHeaders headers;
    if (archive.compare(0, 4, "PK\x03\x04") == 0) {
        headers.local_flags = LittleEndian32(archive, 6) & 0xFFFF;
        headers.local_time = LittleEndian32(archive, 10);
    }
    const std::size_t end_record = archive.rfind("PK\x05\x06");
    if (end_record != std::string::npos) {
        const std::size_t central = LittleEndian32(archive, end_record + 16);
        if (archive.compare(central, 4, "PK\x01\x02") == 0) {
            headers.made_by_system = LittleEndian32(archive, central + 4) >> 8 & 0xFF;
            headers.central_flags = LittleEndian32(archive, central + 8) & 0xFFFF;
            headers.central_time = LittleEndian32(archive, central + 12);
        }
    }
    return headers;
}

// The entry names as unzip lists them in a UTF-8 locale.
std::string UnzipListing(const std::string& path)
{
    int status = 0;
    return RunCommand("LC_ALL=C.UTF-8 unzip -Z1 '" + path + "' 2>&1", &status);
}

class ZipOutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_cwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        log_message.clear();
    }

    void TearDown() override { std::filesystem::current_path(saved_cwd_); }

    // Writes content as a run writes the report, the draft made alongside
    // (none with with_draft false), then zips it.
    int Zip(const std::string& report, const std::string& zip, const std::string& content = "line\n",
            bool with_draft = true)
    {
        const wxString report_name = wxString::FromUTF8(report);
        OutputFile writer;
        if (!writer.Open(report_name) || !writer.Empty()) {
            return -2;
        }
        ReportArchiveDraft* draft = nullptr;
        if (with_draft) {
            auto owned = std::make_unique<ReportArchiveDraft>();
            if (!owned->Start(report_name)) {
                return -3;
            }
            draft = owned.get();
            writer.CopyTo(std::move(owned));
        }
        if (!writer.Write(content) || !writer.Close()) {
            return -4;
        }
        return ZipOutputFile(wxString::FromUTF8(zip), report_name, draft);
    }

    std::vector<wxString> Errors() const { return log_.TextsAt(wxLOG_Error); }

    // Zip fails, and its last error line says why.
    void ExpectFailure(const std::string& report, const std::string& zip, const std::string& content,
                       const char* error, bool with_draft = true)
    {
        log_.Clear();
        EXPECT_EQ(Zip(report, zip, content, with_draft), -1);
        const std::vector<wxString> errors = Errors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), error);
    }

    TempDir dir_;
    LogCapture log_;
    std::filesystem::path saved_cwd_;
};

using ZipOutputFileFailureTest = ZipOutputFileTest;

// An archive already there, even one that is none, is overwritten.
TEST_F(ZipOutputFileTest, PacksReportIntoOneDeflatedEntry)
{
    const std::string zip_path = dir_.File("varneth_localhost.txt.zip");
    WriteFile(zip_path, std::string(100000, 'j'));
    // Long enough for deflate to win: the zip stream stores what it cannot shrink.
    std::string report = "Record Number\tFilename\tFull Path\n";
    for (int i = 0; i < 20; ++i) {
        report += std::to_string(i) + "\tfile" + std::to_string(i) + ".txt\tC:\\dir\\file" + std::to_string(i) + ".txt\n";
    }
    for (const std::string& content : {report, std::string("second\n")}) {
        ASSERT_EQ(Zip("varneth_localhost.txt", "varneth_localhost.txt.zip", content), 0);
        EXPECT_TRUE(UnzipAccepts(zip_path));
        const ArchivedEntry entry = OnlyEntry(zip_path);
        EXPECT_EQ(entry.name, "varneth_localhost.txt");
        EXPECT_EQ(entry.method, content == report ? 8 : 0);  // deflate, or stored when it cannot shrink
        EXPECT_EQ(entry.content, content);
        EXPECT_EQ(ReadFile(dir_.File("varneth_localhost.txt")), content);  // the caller deletes it
    }
    EXPECT_TRUE(Errors().empty());
}

// The draft's entry is begun with the report; its time is set when the
// draft is finished, in both places a zip reader may take it from. A report
// folder that takes no new file has its draft in the temporary folder.
TEST_F(ZipOutputFileTest, EntryIsStampedWhenTheReportIsFinished)
{
    const wxDateTime finished(3, wxDateTime::Feb, 2001, 4, 5, 6);
    ReportArchiveDraft draft;
    ASSERT_TRUE(draft.Start(wxS("missing/report.txt")));
    draft.Add("a\tb\n", 4);
    ASSERT_TRUE(draft.Finish(finished));
    {
        wxFFile archive(wxS("draft.zip"), wxS("w+b"));
        ASSERT_TRUE(draft.CopyTo(archive));
    }
    const EntryHeaders set = ReadEntryHeaders(ReadFile(dir_.File("draft.zip")));
    EXPECT_EQ(set.local_time, finished.GetAsDOS());
    EXPECT_EQ(set.central_time, finished.GetAsDOS());
    const ArchivedEntry entry = OnlyEntry(dir_.File("draft.zip"));
    EXPECT_EQ(entry.time, "20010203040506");
    EXPECT_EQ(entry.name, "missing/report.txt");
    EXPECT_EQ(entry.content, "a\tb\n");

    // The zip step finishes the draft: the time is the step's own.
    const std::uint32_t before = static_cast<std::uint32_t>(wxDateTime::Now().GetAsDOS());
    ASSERT_EQ(Zip("report.txt", "report.txt.zip"), 0);
    const std::uint32_t after = static_cast<std::uint32_t>(wxDateTime::Now().GetAsDOS());
    const EntryHeaders zipped = ReadEntryHeaders(ReadFile(dir_.File("report.txt.zip")));
    EXPECT_EQ(zipped.local_time, zipped.central_time);
    EXPECT_GE(zipped.central_time, before);
    EXPECT_LE(zipped.central_time, after);
}

// A name that is not plain ASCII is marked UTF-8 in both headers, and its
// entry made on Unix: unzip reads the names of entries made on MS-DOS in
// the DOS code page, mark or no mark. ASCII names keep the entry they had.
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
        ASSERT_EQ(Zip(c.report, c.report + ".zip"), 0);
        const ArchivedEntry entry = OnlyEntry(c.report + ".zip");
        EXPECT_EQ(entry.name, c.entry);
        EXPECT_EQ(entry.content, "line\n");
        EXPECT_EQ(UnzipListing(c.report + ".zip"), c.entry + "\n");
        const bool ascii = std::all_of(c.entry.begin(), c.entry.end(), [](char byte) { return byte > 0; });
        const EntryHeaders headers = ReadEntryHeaders(ReadFile(c.report + ".zip"));
        EXPECT_EQ(headers.local_flags, ascii ? 0u : 0x800u);
        EXPECT_EQ(headers.central_flags, ascii ? 0u : 0x800u);
        EXPECT_EQ(headers.made_by_system, ascii ? 0u : 3u);  // MS-DOS, Unix
    }
    // The drafts lay beside the reports, without a name: two reports and their archives.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.File("out")), {}), 4);
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
        EXPECT_EQ(ZipOutputFile(wxString::FromUTF8(c.zip), wxString::FromUTF8(c.report), nullptr), -1);
        EXPECT_EQ(Errors(), std::vector<wxString>{c.error});
        EXPECT_EQ(log_message, c.error);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 3);  // report.txt, adir, fifo
    }
    EXPECT_EQ(ReadFile(dir_.File("report.txt")), "line\n");
}

TEST_F(ZipOutputFileFailureTest, ArchiveThatCannotBeCreatedKeepsReport)
{
    std::filesystem::create_directory(dir_.File("taken"));
    const std::string cases[] = {"taken", "missing/report.txt.zip"};
    for (const std::string& zip : cases) {
        SCOPED_TRACE(zip);
        ExpectFailure("report.txt", zip, "line\n", "ZipOutputFile() - zip_filename could not be created.");
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
        ExpectFailure("report.txt", "/dev/full", report,
                      "ZipOutputFile() - zip_filename could not be written: No space left on device.");
        EXPECT_EQ(ReadFile(dir_.File("report.txt")), report);
    }
    struct stat after {};
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
}

// Without a draft there is nothing to copy: the archive begun is discarded,
// one this call made removed, one that was there left empty.
TEST_F(ZipOutputFileFailureTest, WithoutADraftNoArchiveIsLeft)
{
    for (const bool archive_existed : {false, true}) {
        SCOPED_TRACE(archive_existed);
        if (archive_existed) {
            WriteFile(dir_.File("report.txt.zip"), "an older file");
        }
        ExpectFailure("report.txt", "report.txt.zip", "line\n", "ZipOutputFile() - zip_filename could not be written.",
                      false);
        EXPECT_EQ(FileExists(dir_.File("report.txt.zip")), archive_existed);
        EXPECT_EQ(ReadFile(dir_.File("report.txt.zip")), "");
        EXPECT_EQ(ReadFile(dir_.File("report.txt")), "line\n");
    }
}

// Writes past the limit fail, for this process, while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previous_signal_(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        const rlimit limit{bytes, previous_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_signal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previous_signal_)(int);
};

// A draft is dropped when the run stops early (here: with every piece of
// the report still in the deflating threads' hands). It used to be ended
// as it went, its pieces and then its central directory written field by
// field, and on a full disk every failed write logged a line of its own.
TEST_F(ZipOutputFileFailureTest, ADraftDroppedOnAFullDiskWritesAndLogsNothingMore)
{
    std::string block(std::size_t{1} << 20, '\0');  // deflate cannot shrink it
    std::uint32_t state = 2463534242u;
    for (char& byte : block) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        byte = static_cast<char>(state);
    }
    {
        const FileSizeLimit limit(64 << 10);
        ReportArchiveDraft draft;
        ASSERT_TRUE(draft.Start(wxS("report.txt")));
        draft.Add(block.data(), block.size());
        draft.Add(block.data(), block.size());
    }
    const std::vector<wxString> lines = log_.Texts();
    EXPECT_TRUE(lines.empty()) << lines.size() << " lines, as: " << lines.front().utf8_string();
}

}  // namespace
