#include <gtest/gtest.h>

#include "decoding_test_support.h"
#include "mft/mft_file_record.h"
#include "mft/record_header.h"

namespace varneth_test {
namespace {

TEST(GetMFTRecHeader, DecodesEveryField)
{
    Diagnostics diagnostics;
    Bytes record = RecordBuilder()
                       .Flags(0x0003)
                       .SequenceNumber(0x0102)
                       .HeaderRecno(0xA1B2C3D4)
                       .BaseRecord(0x0000123456789ABCull, 0x4321)
                       .NextAttrId(0x0BCD)
                       .StandardInformation(Times::All(kSomeFiletime))
                       .BuildUnprotected();
    PutLE(record, 8, 0x1122334455667788ull, 8);  // LSN
    PutLE(record, 18, 7, 2);                     // link count
    PutLE(record, 42, 0xBEEF, 2);                // reserved

    MFTRecordHeader header;
    header.mft_recno = 77;
    ASSERT_EQ(GetMFTRecHeader(record.data(), &header, diagnostics), 0);
    EXPECT_EQ(header.magic, 0x454C4946u);
    EXPECT_EQ(header.usa_offset, 0x30);
    EXPECT_EQ(header.usa_count, 3);
    EXPECT_EQ(header.lsn, 0x1122334455667788ull);
    EXPECT_EQ(header.sequence_number, 0x0102);
    EXPECT_EQ(header.link_count, 7);
    EXPECT_EQ(header.first_attr_offset, 0x38);
    EXPECT_EQ(header.record_flags, 0x0003);
    EXPECT_EQ(header.bytes_in_use, GetLE(record, 24, 4));
    EXPECT_EQ(header.bytes_allocated, 1024u);
    EXPECT_EQ(header.base_recno, 0x0000123456789ABCull);
    EXPECT_EQ(header.base_sequence, 0x4321);
    EXPECT_EQ(header.next_attr_id, 0x0BCD);
    EXPECT_EQ(header.reserved, 0xBEEF);
    EXPECT_EQ(header.header_recno, 0xA1B2C3D4u);
    EXPECT_EQ(header.mft_recno, 77u);  // the caller's, not touched
}

TEST(GetMFTRecHeader, TheBaseRecordNumberIsFortyEightBitsWide)
{
    Diagnostics diagnostics;
    Bytes record(kRecordSize, 0);
    const std::uint8_t reference[] = {0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
    std::copy(std::begin(reference), std::end(reference), record.begin() + 32);
    MFTRecordHeader header;
    ASSERT_EQ(GetMFTRecHeader(record.data(), &header, diagnostics), 0);
    EXPECT_EQ(header.base_recno, 5u);
    EXPECT_EQ(header.base_sequence, 2);

    PutLE(record, 32, 0xFFFFFFFFFFFFull, 6);
    PutLE(record, 38, 0xFFFF, 2);
    ASSERT_EQ(GetMFTRecHeader(record.data(), &header, diagnostics), 0);
    EXPECT_EQ(header.base_recno, 0xFFFFFFFFFFFFull);  // upper 16 bits stay 0
    EXPECT_EQ(header.base_sequence, 0xFFFF);
}

TEST(GetMFTRecHeader, StoresAForeignSignatureAsFound)
{
    Bytes record = RecordBuilder().BuildUnprotected();
    record[0] = 'B';
    record[1] = 'A';
    record[2] = 'A';
    record[3] = 'D';
    MFTRecordHeader header;
    Diagnostics diagnostics;
    ASSERT_EQ(GetMFTRecHeader(record.data(), &header, diagnostics), 0);
    EXPECT_EQ(header.magic, 0x44414142u);
    EXPECT_TRUE(diagnostics.empty());
}

TEST(GetMFTRecHeader, RefusesANullBuffer)
{
    MFTRecordHeader header;
    header.lsn = 9;
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetMFTRecHeader(nullptr, &header, diagnostics); },
                  "GetMFTRecHeader() - mft_rec_buf is NULL.");
    EXPECT_EQ(header.lsn, 9u);
}

TEST(GetMFTRecHeader, RefusesAnObjectOfAnotherKind)
{
    Bytes record = RecordBuilder().BuildUnprotected();
    MFTAttrHeader attr_header;
    MFTFileRecord file_record;
    wxObject* wrong[] = {&attr_header, &file_record, nullptr};
    for (wxObject* object : wrong) {
        ExpectRefusal([&](Diagnostics& diagnostics) { return GetMFTRecHeader(record.data(), object, diagnostics); },
                      "GetMFTRecHeader() - mft_header is not a  MFTRecordHeader instance.");
    }
    EXPECT_EQ(attr_header.attr_type, 0u);
}

}  // namespace
}  // namespace varneth_test
