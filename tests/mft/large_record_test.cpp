// 4096-byte FILE records: how record 0 tells the size, and that every bound
// of decoding and of the path walk is the record's own end, not byte 1024.

#include <gtest/gtest.h>
#include <wx/file.h>
#include <wx/log.h>

#include "decoding_test_support.h"
#include "mft/record_construction.h"
#include "mft/record_size.h"
#include "mft/update_sequence.h"
#include "path/full_path.h"
#include "support/cli_runner.h"

namespace varneth_test {
namespace {

TEST(RecordSizeOfFirstRecord, OnlyAllThreeFieldsSay4096)
{
    struct Case {
        const char* what;
        Bytes header;
        std::size_t size;
    };
    auto large = [] { return RecordBuilder(kLargeRecordSize).Build(); };
    Bytes baad = large();
    PutLE(baad, 0, 0x44414142, 4);  // "BAAD"
    Bytes count_3 = large();
    PutLE(count_3, 6, 3, 2);
    Bytes allocated_1024 = large();
    PutLE(allocated_1024, 28, 1024, 4);
    const Bytes whole = large();
    const Case cases[] = {
        {"FILE, 4096, 9 entries", whole, kLargeRecordSize},
        {"the usual record", RecordBuilder().Build(), kRecordSize},
        {"BAAD", baad, kRecordSize},
        {"3 entries", count_3, kRecordSize},
        {"allocated 1024, 9 entries", allocated_1024, kRecordSize},
        {"cut before the allocated size", Bytes(whole.begin(), whole.begin() + 30), kRecordSize},
        {"nothing", Bytes{}, kRecordSize},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecordSizeOfFirstRecord(ByteReader(c.header.data(), c.header.size())), c.size) << c.what;
    }
}

// Every stride end holds its own word before protection.
Bytes ProtectedLargeRecord()
{
    Bytes record = RecordBuilder(kLargeRecordSize).StandardInformation(Times::All(kSomeFiletime)).BuildUnprotected();
    for (std::size_t stride = 0; stride < 8; ++stride) {
        PutLE(record, 512 * stride + 510, 0xC000 + stride, 2);
    }
    ProtectWithUpdateSequence(record);
    return record;
}

TEST(WriteFixupValues, EveryStrideOfA4096ByteRecordIsCheckedAndPutBack)
{
    Bytes record = ProtectedLargeRecord();
    ASSERT_EQ(WriteFixupValues(record.data(), kLargeRecordSize), 0);
    for (std::size_t stride = 0; stride < 8; ++stride) {
        EXPECT_EQ(GetLE(record, 512 * stride + 510, 2), 0xC000 + stride) << stride;
    }
    for (std::size_t stride = 0; stride < 8; ++stride) {
        Bytes spoilt = ProtectedLargeRecord();
        spoilt[512 * stride + 510] ^= 0x80;
        const Bytes before = spoilt;
        LogCapture log;
        EXPECT_EQ(WriteFixupValues(spoilt.data(), kLargeRecordSize), -1) << stride;
        EXPECT_EQ(spoilt, before) << stride;
        EXPECT_EQ(log.Texts(), std::vector<wxString>{"WriteFixupValues() - fixup signatures do not match."})
            << stride;
    }
}

TEST(WriteFixupValues, TheArrayAndTheSizeMustFitTheRecord)
{
    struct Case {
        std::uint16_t usa_offset;
        std::size_t record_size;
        const char* refusal;  // null: accepted
    };
    const Case cases[] = {
        {4078, kLargeRecordSize, nullptr},  // the last offset that keeps 9 words inside
        {4079, kLargeRecordSize, "WriteFixupValues() - signature offset to fixup array is not valid."},
        {0x30, 8192, "WriteFixupValues() - record size is not valid."},
        {0x30, 512, "WriteFixupValues() - record size is not valid."},
    };
    for (const Case& c : cases) {
        Bytes record = RecordBuilder(kLargeRecordSize).UsaOffset(c.usa_offset).BuildUnprotected();
        record.resize(std::max(record.size(), c.record_size), 0);
        if (c.usa_offset + 18 <= kLargeRecordSize) {
            ProtectWithUpdateSequence(record);
        }
        LogCapture log;
        const int result = WriteFixupValues(record.data(), c.record_size);
        EXPECT_EQ(result, c.refusal == nullptr ? 0 : -1) << c.usa_offset << " " << c.record_size;
        EXPECT_EQ(log.Texts(), c.refusal == nullptr ? std::vector<wxString>{} : std::vector<wxString>{c.refusal})
            << c.usa_offset << " " << c.record_size;
    }
}

// A stream whose attribute starts past byte 1024 and a name across byte 2048.
Bytes RecordWithLateAttributes()
{
    return RecordBuilder(kLargeRecordSize)
        .StandardInformation(Times::All(kSomeFiletime))
        .ResidentData(1200)
        .ResidentData(26, u"Zone.Identifier")
        .ResidentData(408, u"pad")
        .FileName(U16("across-2048-" + std::string(40, 'n')), kWin32, 77)
        .Build();
}

TEST(CreateMFTFileRecord, A4096ByteRecordIsDecodedToItsEnd)
{
    RecordBuilder probe(kLargeRecordSize);
    probe.StandardInformation(Times::All(kSomeFiletime)).ResidentData(1200);
    ASSERT_GT(probe.NextAttributeOffset(), 1024u);  // the stream's attribute
    probe.ResidentData(26, u"Zone.Identifier").ResidentData(408, u"pad");
    ASSERT_LT(probe.NextAttributeOffset() + 0x18 + 0x42, 2048u);  // the name starts before 2048
    ASSERT_GT(probe.NextAttributeOffset() + 0x18 + 0x42 + 2 * 52, 2048u);  // and ends after it

    Bytes buffer = RecordWithLateAttributes();
    MFTFileRecord record;
    LogCapture log;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 30, kLargeRecordSize), 0);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(StreamNames(record), (std::vector<wxString>{"", "Zone.Identifier", "pad"}));
    EXPECT_EQ(FileNames(record), std::vector<wxString>{"across-2048-" + std::string(40, 'n')});
    EXPECT_EQ(record.parent_recno, 77u);
    EXPECT_TRUE(record.has_ads);
}

TEST(CreateMFTFileRecord, NamesAreCutOrRefusedAtByte4096)
{
    // A stream name of 20 units from byte 4072: 12 of them lie inside.
    Bytes stream_attribute = AttributeBytes(kTypeData, 72, false, 72);
    stream_attribute[0x09] = 20;
    PutLE(stream_attribute, 0x0A, 0x30, 2);
    for (std::size_t at = 0x30; at < 72; at += 2) {
        PutLE(stream_attribute, at, 'x', 2);
    }
    Bytes cut = RecordBuilder(kLargeRecordSize).FirstAttrOffset(4096 - 72).RawAttribute(stream_attribute).Build();
    MFTFileRecord record;
    LogCapture log;
    ASSERT_EQ(CreateMFTFileRecord(cut.data(), &record, 1, kLargeRecordSize), 0);
    ASSERT_EQ(StreamNames(record).size(), 1u);
    EXPECT_EQ(StreamNames(record)[0], wxString(12, 'x'));
    EXPECT_EQ(log.TextsAt(wxLOG_Warning),
              std::vector<wxString>{"MakeDataAttr() - stream name runs past the end of the record; cut at the record end."});

    // A $FILE_NAME whose name would run past byte 4096 is refused.
    RecordBuilder full(kLargeRecordSize);
    full.StandardInformation(Times::All(kSomeFiletime)).ResidentData(3800);
    Bytes refused = full.FileName(std::u16string(100, u'z'), kWin32, 5).Build();
    log.Clear();
    record.Clear();
    EXPECT_EQ(CreateMFTFileRecord(refused.data(), &record, 1, kLargeRecordSize), -1);
    EXPECT_EQ(log.TextsAt(wxLOG_Error).size(), 2u);
}

// The path walk reads parent N at N x 4096 and knows where the file ends.
TEST(GetFullPathString, WalksAndBoundsA4096ByteFileByItsRecordSize)
{
    MftImage image = SystemRecords(kLargeRecordSize);  // 16 records, the root at 5
    image.Add(RecordBuilder(kLargeRecordSize).Directory(true).FileName(u"Users", kWin32, 5).Build());  // 16
    image.Add(RecordBuilder(kLargeRecordSize).FileName(u"a.txt", kWin32, 16).Build());               // 17
    image.Add(RecordBuilder(kLargeRecordSize).FileName(u"orphan", kWin32, 30).Build());              // 18
    TempDir dir;
    image.WriteTo(dir.File("in.mft"));
    wxFile file(dir.File("in.mft"));
    LogCapture log;
    EXPECT_EQ(GetFullPathString(file, 17, kLargeRecordSize), wxS("\\Users\\a.txt"));
    // Parent 30 lies inside the file at 1024 bytes a record, past its end at 4096.
    EXPECT_EQ(GetFullPathString(file, 18, kLargeRecordSize), wxS("orphan"));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(GetFullPathString(file, 19, kLargeRecordSize), wxS("\\"));
    EXPECT_EQ(GetFullPathString(file, 20, kLargeRecordSize), wxString());
    EXPECT_EQ(log.Texts(),
              std::vector<wxString>{"GetFullPathString() - passed in mft_recno is greater than record count."});
}

}  // namespace
}  // namespace varneth_test
