// 4096-byte FILE records: how record 0 tells the size, and that the fixups
// and the name bounds reach the record's own end, not byte 1024.

#include <gtest/gtest.h>
#include <wx/log.h>

#include "decoding_test_support.h"
#include "mft/record_construction.h"
#include "mft/record_size.h"
#include "mft/update_sequence.h"

namespace varneth_test {
namespace {

TEST(RecordSizeOfFirstRecord, OnlyFileAllocated4096AndNineEntriesSay4096)
{
    const Bytes large = RecordBuilder(kLargeRecordSize).Build();
    const struct {
        std::size_t at;  // the field spoilt, or past the header for none
        std::uint32_t value;
        std::size_t size;
    } cases[] = {{64, 0, 4096}, {0, 0x44414142 /* BAAD */, 1024}, {6, 3, 1024}, {28, 1024, 1024}, {28, 4097, 1024}};
    for (const auto& c : cases) {
        Bytes header(large.begin(), large.begin() + 72);
        PutLE(header, c.at, c.value, c.at == 6 ? 2 : 4);
        EXPECT_EQ(RecordSizeOfFirstRecord(ByteReader(header.data(), header.size())), c.size) << c.at;
    }
    EXPECT_EQ(RecordSizeOfFirstRecord(ByteReader(large.data(), 30)), 1024u);  // cut before the allocated size
}

// Every stride end holds its own word before protection.
Bytes ProtectedLargeRecord(std::uint16_t usa_offset = 0x30)
{
    Bytes record = RecordBuilder(kLargeRecordSize).UsaOffset(usa_offset).BuildUnprotected();
    for (std::size_t stride = 0; stride < 8; ++stride) {
        PutLE(record, 512 * stride + 510, 0xC000 + stride, 2);
    }
    ProtectWithUpdateSequence(record);
    return record;
}

TEST(WriteFixupValues, EveryStrideOfA4096ByteRecordIsCheckedAndPutBack)
{
    Diagnostics diagnostics;
    for (std::uint16_t usa_offset : {0x30, 4078}) {  // 4078: the last offset with all 9 words inside
        Bytes record = ProtectedLargeRecord(usa_offset);
        ASSERT_EQ(WriteFixupValues(record.data(), diagnostics, kLargeRecordSize), 0) << usa_offset;
        for (std::size_t stride = 0; stride < 7; ++stride) {  // the 8th end is the array's last word at 4078
            EXPECT_EQ(GetLE(record, 512 * stride + 510, 2), 0xC000 + stride) << stride;
        }
    }
    const char* const mismatch = "WriteFixupValues() - fixup signatures do not match.";
    for (std::size_t stride = 0; stride < 8; ++stride) {
        Bytes spoilt = ProtectedLargeRecord();
        spoilt[512 * stride + 510] ^= 0x80;
        const Bytes before = spoilt;
        ExpectRefusal(
            [&](Diagnostics& diagnostics) { return WriteFixupValues(spoilt.data(), diagnostics, kLargeRecordSize); },
            mismatch);
        EXPECT_EQ(spoilt, before) << stride;
    }
    Bytes record = ProtectedLargeRecord(4079);
    ExpectRefusal(
        [&](Diagnostics& diagnostics) { return WriteFixupValues(record.data(), diagnostics, kLargeRecordSize); },
        "WriteFixupValues() - signature offset to fixup array is not valid.");
    record.resize(8192);
    for (std::size_t size : {512, 8192}) {
        ExpectRefusal([&](Diagnostics& diagnostics) { return WriteFixupValues(record.data(), diagnostics, size); },
                      "WriteFixupValues() - record size is not valid.");
    }
}

TEST(CreateMFTFileRecord, NamesAreCutOrRefusedAtByte4096)
{
    // A stream name of 20 units from byte 4072: the 12 inside are kept.
    Bytes stream = AttributeBytes(kTypeData, 72, false, 72);
    stream[0x09] = 20;
    PutLE(stream, 0x0A, 0x30, 2);
    for (std::size_t at = 0x30; at < 72; at += 2) {
        PutLE(stream, at, 'x', 2);
    }
    Bytes cut = RecordBuilder(kLargeRecordSize).FirstAttrOffset(4096 - 72).RawAttribute(stream).Build();
    MFTFileRecord record;
    Diagnostics diagnostics;
    ASSERT_EQ(CreateMFTFileRecord(cut.data(), &record, 1, diagnostics, kLargeRecordSize), 0);
    EXPECT_EQ(StreamNames(record), std::vector<wxString>{wxString(12, 'x')});
    EXPECT_EQ(Texts(diagnostics), std::vector<wxString>{
                               "MakeDataAttr() - stream name runs past the end of the record; cut at the record end."});

    // A $FILE_NAME whose name would run past byte 4096 is refused.
    Bytes refused =
        RecordBuilder(kLargeRecordSize).ResidentData(3800).FileName(std::u16string(100, u'z'), kWin32, 5).Build();
    record.Clear();
    diagnostics.clear();
    EXPECT_EQ(CreateMFTFileRecord(refused.data(), &record, 1, diagnostics, kLargeRecordSize), -1);
    EXPECT_EQ(Texts(diagnostics),
              (std::vector<wxString>{"GetFileNameAttr() - file name runs past the end of the record.",
                                     "CreateMFTFileRecord() - GetFileNameAttr() failed."}));
}

}  // namespace
}  // namespace varneth_test
