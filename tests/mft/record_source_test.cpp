// The record source: how a block is sorted, and reads by record number that
// come back whole, short or failed at the right record, say what the file
// library logs for a failed read, and move no file position.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <wx/file.h>

#include "base/log_message.h"
#include "mft/record_sequence.h"
#include "mft/record_source.h"
#include "support/cli_runner.h"
#include "support/diagnostic_texts.h"
#include "support/log_capture.h"
#include "support/record_builder.h"

namespace varneth_test {
namespace {

using ReadResult = RecordSource::ReadResult;

// Records that each store their own number at offset 44, so that a block
// read shows which record it is.
MftImage NumberedRecords(std::uint32_t count)
{
    MftImage image;
    for (std::uint32_t recno = 0; recno < count; ++recno) {
        image.Add(RecordBuilder().HeaderRecno(recno).FileName(u"f", kWin32, 5).Build());
    }
    return image;
}

std::uint64_t StoredNumber(const unsigned char* block)
{
    return ByteReader(block, kRecordSize).U32At(44);
}

TEST(RecordSourceTest, SortsBlocksBySignatureAndNextAttributeId)
{
    Bytes baad = RecordBuilder().FileName(u"f", kWin32, 5).Build();
    baad[0] = 'B', baad[1] = 'A', baad[2] = 'A', baad[3] = 'D';
    const struct {
        const char* label;
        Bytes block;
        bool file_signature;
        bool no_attributes;
    } cases[] = {
        {"a FILE record", RecordBuilder().FileName(u"f", kWin32, 5).Build(), true, false},
        {"a FILE record that never held an attribute", RecordBuilder().NextAttrId(0).Build(), true, true},
        {"a BAAD record", baad, false, false},
        {"a block never used", Bytes(kRecordSize, 0), false, true},
        {"the signature alone", Bytes{'F', 'I', 'L', 'E'}, true, true},
        {"a signature cut short", Bytes{'F', 'I', 'L'}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ByteReader block(c.block.data(), c.block.size());
        EXPECT_EQ(HasFileSignature(block), c.file_signature);
        EXPECT_EQ(HasNoAttributes(block), c.no_attributes);
    }
}

TEST(RecordSourceTest, ReadsByRecordNumberWithoutMovingTheFilePosition)
{
    TempDir dir;
    NumberedRecords(3).WriteTo(dir.File("in.mft"));
    wxFile file;
    ASSERT_TRUE(file.Open(dir.File("in.mft")));
    ASSERT_EQ(file.Seek(100), 100);
    const RecordSource source(file.fd());
    EXPECT_EQ(source.FileLength(), static_cast<long long>(3 * kRecordSize));
    const struct {
        std::uint64_t recno;
        std::size_t length;
        ReadResult result;
    } cases[] = {
        {2, kRecordSize, ReadResult::kWhole},      {0, kRecordSize, ReadResult::kWhole},
        {1, 2 * kRecordSize, ReadResult::kWhole},  {2, 2 * kRecordSize, ReadResult::kShort},
        {3, kRecordSize, ReadResult::kShort},      {3, 4, ReadResult::kShort},
        {std::uint64_t{1} << 60, 4, ReadResult::kShort},  // no file offset reaches it
        {UINT64_MAX, kRecordSize, ReadResult::kShort},
    };
    Diagnostics diagnostics;
    for (const auto& c : cases) {
        SCOPED_TRACE("record " + std::to_string(c.recno) + ", " + std::to_string(c.length) + " bytes");
        Bytes block(c.length, 0);
        EXPECT_EQ(source.Read(c.recno, block.data(), block.size(), diagnostics), c.result);
        if (c.result == ReadResult::kWhole) {
            EXPECT_EQ(StoredNumber(block.data()), c.recno);
        }
        EXPECT_EQ(file.Tell(), 100);
    }
    EXPECT_TRUE(diagnostics.empty());
}

// Record numbers the sequence gives in order until it gives null (or all).
std::vector<std::uint64_t> SequenceOf(const RecordSource& source, std::uint64_t count, bool& ended_early,
                                      Diagnostics& diagnostics)
{
    RecordSequence sequence(source, count);
    std::vector<std::uint64_t> numbers;
    ended_early = false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const unsigned char* block = sequence.Next(diagnostics);
        if (block == nullptr) {
            ended_early = true;
            break;
        }
        numbers.push_back(StoredNumber(block));
    }
    return numbers;
}

// The sequence reads in pieces of 512 records; a file shorter than the
// count it was made for (one that shrank) ends at its first missing record,
// silently, wherever the piece boundaries fall.
TEST(RecordSequenceTest, GivesEveryRecordInOrderAndEndsAtTheFirstMissingOne)
{
    const struct {
        const char* label;
        std::uint32_t records;
        std::size_t extra_bytes;
        std::uint64_t count;
    } cases[] = {
        {"three records", 3, 0, 3},
        {"more than a piece", 1300, 0, 1300},
        {"a piece exactly", 512, 0, 512},
        {"shrank inside the first piece", 100, 0, 130},
        {"shrank inside a later piece", 1300, 0, 1500},
        {"shrank at a piece boundary", 1024, 0, 1100},
        {"shrank inside a record", 700, 512, 800},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        MftImage image = NumberedRecords(c.records);
        image.AddRawBytes(Bytes(c.extra_bytes, 'x'));
        image.WriteTo(dir.File("in.mft"));
        wxFile file;
        ASSERT_TRUE(file.Open(dir.File("in.mft")));
        Diagnostics diagnostics;
        bool ended_early = false;
        const std::vector<std::uint64_t> numbers =
            SequenceOf(RecordSource(file.fd()), c.count, ended_early, diagnostics);
        std::vector<std::uint64_t> expected(c.records);
        for (std::uint32_t recno = 0; recno < c.records; ++recno) {
            expected[recno] = recno;
        }
        EXPECT_EQ(numbers, expected);
        EXPECT_EQ(ended_early, c.count > c.records);
        EXPECT_TRUE(diagnostics.empty());
        EXPECT_EQ(file.Tell(), 0);
    }
}

// A file open for writing only: every read of it fails. The source says what
// the file library logs for its own failed read, and once logged the line
// reads the same; the sequence, whose piece read is silent, says it once, at
// the record that fails.
TEST(RecordSourceTest, AFailedReadSaysTheFileLibrarysOwnLineOnce)
{
    TempDir dir;
    NumberedRecords(3).WriteTo(dir.File("in.mft"));
    wxFile unreadable(dir.File("in.mft"), wxFile::write_append);
    ASSERT_TRUE(unreadable.IsOpened());
    const RecordSource source(unreadable.fd());
    Bytes block(kRecordSize, 0);
    Diagnostics diagnostics;
    EXPECT_EQ(source.ReadQuietly(0, block.data(), kRecordSize), ReadResult::kFailed);
    EXPECT_EQ(source.Read(0, block.data(), kRecordSize, diagnostics), ReadResult::kFailed);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].level, DiagnosticLevel::kError);
    LogCapture log;
    LogDiagnostics(diagnostics);
    const std::vector<wxString> from_source = log.Texts();
    log.Clear();
    EXPECT_EQ(unreadable.Read(block.data(), kRecordSize), wxInvalidOffset);
    EXPECT_EQ(log.Texts(), from_source);
    const std::vector<wxString> said = Texts(diagnostics);
    diagnostics.clear();
    bool ended_early = false;
    EXPECT_TRUE(SequenceOf(source, 3, ended_early, diagnostics).empty());
    EXPECT_TRUE(ended_early);
    EXPECT_EQ(Texts(diagnostics), said);
}

}  // namespace
}  // namespace varneth_test
