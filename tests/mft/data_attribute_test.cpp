#include <gtest/gtest.h>

#include "decoding_test_support.h"
#include "mft/data_attribute.h"
#include "mft/mft_file_record.h"

namespace varneth_test {
namespace {

// A $DATA header naming name_length units at name_offset into an attribute
// at attr_offset.
MFTAttrHeader NamedDataHeader(std::uint32_t attr_offset, std::uint16_t name_offset, std::uint8_t name_length)
{
    MFTAttrHeader header;
    header.attr_type = kAttrTypeData;
    header.attr_offset = attr_offset;
    header.name_offset = name_offset;
    header.name_length = name_length;
    return header;
}

wxString StreamName(const MFTAttrHeader& header, const Bytes& record, Diagnostics& diagnostics)
{
    return MakeDataAttr(header, record.data(), diagnostics)->stream_name;
}

TEST(MakeDataAttr, TheUnnamedStreamCopiesTheHeaderAndHasNoName)
{
    Diagnostics diagnostics;
    Bytes record = RecordBuilder().ResidentData(24).BuildUnprotected();
    MFTAttrHeader header = OnlyHeader(record);
    std::unique_ptr<MFTDataAttr> data = MakeDataAttr(header, record.data(), diagnostics);
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->IsKindOf(wxCLASSINFO(MFTDataAttr)));
    EXPECT_TRUE(data->stream_name.empty());
    EXPECT_EQ(data->resident, 1);
    EXPECT_EQ(data->value_length, 24u);
    EXPECT_EQ(data->value_offset, header.value_offset);
    EXPECT_EQ(data->attr_offset, header.attr_offset);
    EXPECT_EQ(data->attr_length, header.attr_length);
    EXPECT_FALSE(data->is_ads);
}

TEST(MakeDataAttr, ANamedResidentStreamGetsItsName)
{
    Diagnostics diagnostics;
    Bytes record = RecordBuilder().ResidentData(37, u"res.ads").BuildUnprotected();
    std::unique_ptr<MFTDataAttr> data = MakeDataAttr(OnlyHeader(record), record.data(), diagnostics);
    EXPECT_EQ(data->stream_name, "res.ads");
    EXPECT_TRUE(data->is_ads);
    EXPECT_EQ(data->value_length, 37u);
}

TEST(MakeDataAttr, ANamedNonResidentStreamGetsItsNameAndSizes)
{
    Diagnostics diagnostics;
    Bytes record = RecordBuilder().NonResidentData(2152925272ull, 2153316352ull, u"$J").BuildUnprotected();
    std::unique_ptr<MFTDataAttr> data = MakeDataAttr(OnlyHeader(record), record.data(), diagnostics);
    EXPECT_EQ(data->stream_name, "$J");
    EXPECT_EQ(data->resident, 0);
    EXPECT_EQ(data->alloc_size, 2153316352ull);
    EXPECT_EQ(data->real_size, 2152925272ull);
    EXPECT_EQ(data->init_size, 2152925272ull);
    EXPECT_EQ(data->value_length, 0u);
}

TEST(MakeDataAttr, ANameNeedsBothALengthAndAnOffset)
{
    Bytes record = RecordBuilder().ResidentData(3, u"abc").BuildUnprotected();
    MFTAttrHeader header = OnlyHeader(record);
    Diagnostics diagnostics;
    MFTAttrHeader no_length = header;
    no_length.name_length = 0;
    EXPECT_TRUE(StreamName(no_length, record, diagnostics).empty());
    MFTAttrHeader no_offset = header;
    no_offset.name_offset = 0;
    EXPECT_TRUE(StreamName(no_offset, record, diagnostics).empty());
    EXPECT_EQ(StreamName(header, record, diagnostics), "abc");
    EXPECT_TRUE(diagnostics.empty());
}

TEST(MakeDataAttr, AStreamNameEndsAtItsFirstZeroCharacter)
{
    Bytes record = RecordBuilder().ResidentData(3, std::u16string(u"ab\0c", 4)).BuildUnprotected();
    Diagnostics diagnostics;
    EXPECT_EQ(StreamName(OnlyHeader(record), record, diagnostics), "ab");
}

// The $DATA step has no failure: a stream name that would run past the end
// of the record is cut there (whole units only), with a warning.
TEST(MakeDataAttr, AStreamNameRunningPastTheRecordEndIsCutThere)
{
    Bytes record(kRecordSize, 0);
    PutLE(record, 1019, u'x', 2);
    PutLE(record, 1021, u'y', 2);
    record[1023] = 'z';  // half a unit: not read
    Diagnostics diagnostics;
    EXPECT_EQ(StreamName(NamedDataHeader(1000, 19, 255), record, diagnostics), "xy");
    EXPECT_EQ(StreamName(NamedDataHeader(1000, 24, 200), record, diagnostics), "");  // starts at the record end
    EXPECT_EQ(StreamName(NamedDataHeader(0xFFFFFFFF, 0xFFFF, 200), record, diagnostics), "");
    const wxString warning = "MakeDataAttr() - stream name runs past the end of the record; cut at the record end.";
    EXPECT_EQ(TextsAt(diagnostics, DiagnosticLevel::kWarning), (std::vector<wxString>{warning, warning, warning}));
    EXPECT_TRUE(TextsAt(diagnostics, DiagnosticLevel::kError).empty());
}

TEST(MakeDataAttr, AStreamNameEndingAtTheLastByteIsReadWhole)
{
    Bytes record(kRecordSize, 0);
    PutLE(record, 1020, u'p', 2);
    PutLE(record, 1022, u'q', 2);
    Diagnostics diagnostics;
    EXPECT_EQ(StreamName(NamedDataHeader(1000, 20, 2), record, diagnostics), "pq");
    EXPECT_TRUE(diagnostics.empty());
}

}  // namespace
}  // namespace varneth_test
