#include <gtest/gtest.h>

#include "decoding_test_support.h"
#include "mft/mft_file_record.h"
#include "mft/standard_information.h"

namespace varneth_test {
namespace {

// A record whose first attribute is a $STANDARD_INFORMATION with every field
// set to a distinct value, value_length bytes of it kept.
Bytes StandardInformationRecord(std::uint32_t value_length)
{
    Bytes value(72, 0);
    PutLE(value, 0x00, kSomeFiletime, 8);
    PutLE(value, 0x08, kSomeFiletime + 10000000, 8);
    PutLE(value, 0x10, kSomeFiletime + 20000000, 8);
    PutLE(value, 0x18, kSomeFiletime + 30000000, 8);
    for (std::size_t field = 0x20; field < 0x38; field += 4) {
        PutLE(value, field, 0x11110000u + field, 4);
    }
    PutLE(value, 0x38, 0x1122334455667788ull, 8);
    PutLE(value, 0x40, 0x0102030405060708ull, 8);
    value.resize(value_length);
    return RecordBuilder().ResidentAttribute(kTypeStandardInformation, value).BuildUnprotected();
}

// Decodes the value of StandardInformationRecord(value_length) into info.
int DecodeValue(std::uint32_t value_length, MFTStdInfoAttr& info)
{
    Diagnostics diagnostics;
    Bytes record = StandardInformationRecord(value_length);
    MFTAttrHeader header = OnlyHeader(record);
    return GetStdInfoAttr(record.data(), &header, &info, diagnostics);
}

// A $STANDARD_INFORMATION header whose value of value_length bytes starts
// 0x18 bytes into an attribute at attr_offset.
MFTAttrHeader StdInfoHeader(std::uint32_t attr_offset, std::uint32_t value_length)
{
    MFTAttrHeader header;
    header.attr_type = kAttrTypeStandardInformation;
    header.attr_offset = attr_offset;
    header.value_offset = 0x18;
    header.value_length = value_length;
    return header;
}

TEST(GetStdInfoAttr, ASeventyTwoByteValueFillsEveryMember)
{
    MFTStdInfoAttr info;
    Diagnostics diagnostics;
    ASSERT_EQ(DecodeValue(72, info), 0);
    EXPECT_EQ(UtcText(info.create_time), "2012-12-14 23:06:40");
    EXPECT_EQ(UtcText(info.mod_time), "2012-12-14 23:06:41");
    EXPECT_EQ(UtcText(info.mft_mod_time), "2012-12-14 23:06:42");
    EXPECT_EQ(UtcText(info.access_time), "2012-12-14 23:06:43");
    EXPECT_EQ(info.file_attributes, 0x11110020u);
    EXPECT_EQ(info.max_versions, 0x11110024u);
    EXPECT_EQ(info.version_number, 0x11110028u);
    EXPECT_EQ(info.class_id, 0x1111002Cu);
    EXPECT_EQ(info.owner_id, 0x11110030u);
    EXPECT_EQ(info.security_id, 0x11110034u);
    EXPECT_EQ(info.quota_charged, 0x1122334455667788ull);
    EXPECT_EQ(info.usn, 0x0102030405060708ull);
    EXPECT_TRUE(diagnostics.empty());
}

TEST(GetStdInfoAttr, AFortyEightByteValueLeavesTheLaterMembersZero)
{
    MFTStdInfoAttr info;
    ASSERT_EQ(DecodeValue(48, info), 0);
    EXPECT_EQ(UtcText(info.access_time), "2012-12-14 23:06:43");
    EXPECT_EQ(info.class_id, 0x1111002Cu);
    EXPECT_EQ(info.owner_id, 0u);
    EXPECT_EQ(info.security_id, 0u);
    EXPECT_EQ(info.quota_charged, 0u);
    EXPECT_EQ(info.usn, 0u);
}

TEST(GetStdInfoAttr, AShortValueIsReadAsIfPaddedWithZeroBytes)
{
    // 50 bytes: the owner id keeps its two low bytes only.
    MFTStdInfoAttr info;
    ASSERT_EQ(DecodeValue(50, info), 0);
    EXPECT_EQ(info.owner_id, 0x0030u);
    ASSERT_EQ(DecodeValue(0, info), 0);
    EXPECT_EQ(UtcText(info.create_time), "1601-01-01 00:00:00");  // FILETIME 0
    EXPECT_EQ(info.owner_id, 0u);
}

TEST(GetStdInfoAttr, TimesOfZeroAreTheStartOf1601)
{
    Diagnostics diagnostics;
    Bytes record = RecordBuilder().StandardInformation(Times::All(0)).BuildUnprotected();
    MFTAttrHeader header = OnlyHeader(record);
    MFTStdInfoAttr info;
    ASSERT_EQ(GetStdInfoAttr(record.data(), &header, &info, diagnostics), 0);
    for (const wxDateTime* time : {&info.create_time, &info.mod_time, &info.mft_mod_time, &info.access_time}) {
        EXPECT_TRUE(time->IsValid());
        EXPECT_EQ(UtcText(*time), "1601-01-01 00:00:00");
    }
}

TEST(GetStdInfoAttr, ASeventyThreeByteValueIsRefused)
{
    Bytes record = RecordBuilder().StandardInformation(Times::All(kSomeFiletime), 0, 73).BuildUnprotected();
    MFTAttrHeader header = OnlyHeader(record);
    MFTStdInfoAttr info;
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetStdInfoAttr(record.data(), &header, &info, diagnostics); },
                  "GetStdInfoAttr() - len is not the size of a $STANDARD_INFORMATION attribute.");
    EXPECT_FALSE(info.create_time.IsValid());
}

TEST(GetStdInfoAttr, RefusesAnotherAttributeType)
{
    Bytes record = RecordBuilder().FileName(u"x", kWin32, 5).BuildUnprotected();
    MFTAttrHeader header = OnlyHeader(record);
    MFTStdInfoAttr info;
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetStdInfoAttr(record.data(), &header, &info, diagnostics); },
                  "GetStdInfoAttr() - Attribute type is not a $STANDARD_INFORMATION.");
}

TEST(GetStdInfoAttr, RefusesANullBufferAndAnOutputOfAnotherKind)
{
    Bytes record = StandardInformationRecord(72);
    MFTAttrHeader header = OnlyHeader(record);
    MFTStdInfoAttr info;
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetStdInfoAttr(nullptr, &header, &info, diagnostics); },
                  "GetStdInfoAttr() - mft_rec_buf is NULL.");
    MFTFileNameAttr file_name;
    MFTRecordHeader record_header;
    for (wxObject* wrong : {static_cast<wxObject*>(&file_name), static_cast<wxObject*>(&record_header),
                            static_cast<wxObject*>(nullptr)}) {
        ExpectRefusal(
            [&](Diagnostics& diagnostics) { return GetStdInfoAttr(record.data(), &header, wrong, diagnostics); },
            "GetStdInfoAttr() - std_info is not a  MFTStdInfoAttr instance.");
    }
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetStdInfoAttr(record.data(), nullptr, &info, diagnostics); },
                  "GetStdInfoAttr() - attr_header is NULL.");
    EXPECT_FALSE(info.create_time.IsValid());
}

// The value must lie inside the 1024-byte record; one that would run past it
// fails the decode, std_info untouched.
TEST(GetStdInfoAttr, AValueRunningPastTheRecordEndIsRefused)
{
    Diagnostics diagnostics;
    Bytes record(kRecordSize, 0x11);
    MFTAttrHeader header = StdInfoHeader(1000, 1);  // 1024 + 1 bytes
    MFTStdInfoAttr info;
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetStdInfoAttr(record.data(), &header, &info, diagnostics); },
                  "GetStdInfoAttr() - $STANDARD_INFORMATION value runs past the end of the record.");
    EXPECT_FALSE(info.create_time.IsValid());
    EXPECT_EQ(info.file_attributes, 0u);

    header.value_offset = 0xFFFF;
    header.value_length = 0;
    EXPECT_EQ(GetStdInfoAttr(record.data(), &header, &info, diagnostics), -1);
    header.attr_offset = 0xFFFFFFFF;
    EXPECT_EQ(GetStdInfoAttr(record.data(), &header, &info, diagnostics), -1);
}

TEST(GetStdInfoAttr, AValueEndingAtTheLastByteIsRead)
{
    Diagnostics diagnostics;
    Bytes record(kRecordSize, 0);
    PutLE(record, 1024 - 72 + 0x20, 0x27, 4);  // file attributes
    MFTAttrHeader header = StdInfoHeader(1024 - 72 - 0x18, 72);
    MFTStdInfoAttr info;
    ASSERT_EQ(GetStdInfoAttr(record.data(), &header, &info, diagnostics), 0);
    EXPECT_EQ(info.file_attributes, 0x27u);
}

}  // namespace
}  // namespace varneth_test
