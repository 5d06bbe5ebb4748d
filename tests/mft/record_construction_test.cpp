#include <gtest/gtest.h>
#include <wx/log.h>

#include "decoding_test_support.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"

namespace varneth_test {
namespace {

const wxString kFixupLine = "CreateMFTFileRecord() - WriteFixupsToMFTRecord() failed.";
const std::vector<wxString> kMismatchLines = {"WriteFixupValues() - fixup signatures do not match.", kFixupLine};

// The usual record: standard information, a Win32 and a DOS name (parents 7
// and 8), an unnamed and a named $DATA.
RecordBuilder UsualBuilder()
{
    RecordBuilder builder;
    builder.HeaderRecno(40)
        .StandardInformation(Times::All(kSomeFiletime), 0x20)
        .FileName(u"Long File Name.txt", kWin32, 7, Times::All(kSomeFiletime))
        .FileName(u"LONGFI~1.TXT", kDos, 8, Times::All(kSomeFiletime))
        .NonResidentData(8072, 8192)
        .ResidentData(12, u"Zone.Identifier");
    return builder;
}

Bytes UsualRecord() { return UsualBuilder().Build(); }

TEST(CreateMFTFileRecord, DecodesTheUsualRecord)
{
    Bytes buffer = UsualRecord();
    MFTFileRecord record;
    Diagnostics diagnostics;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 40, diagnostics), 0);
    EXPECT_TRUE(diagnostics.empty());

    EXPECT_EQ(record.mft_header.magic, 0x454C4946u);
    EXPECT_EQ(record.mft_header.header_recno, 40u);
    EXPECT_EQ(record.mft_header.mft_recno, 40u);
    EXPECT_EQ(record.mft_header.next_attr_id, 5);
    ASSERT_EQ(record.attr_header_array.size(), 5u);

    EXPECT_EQ(UtcText(record.std_info.create_time), "2012-12-14 23:06:40");
    EXPECT_EQ(record.std_info.file_attributes, 0x20u);

    ASSERT_EQ(FileNames(record), (std::vector<wxString>{"Long File Name.txt", "LONGFI~1.TXT"}));
    EXPECT_EQ(record.file_name_array[1]->name_space, kNameSpaceDos);
    EXPECT_EQ(LastLongNameParent(record), 7u);

    ASSERT_EQ(StreamNames(record), (std::vector<wxString>{"", "Zone.Identifier"}));
    EXPECT_EQ(record.data_attr_array[0]->resident, 0);
    EXPECT_EQ(record.data_attr_array[0]->real_size, 8072u);
    EXPECT_EQ(record.data_attr_array[1]->resident, 1);
    EXPECT_EQ(record.data_attr_array[1]->value_length, 12u);
    EXPECT_TRUE(record.has_ads);
    // The $DATA attributes are held twice, as independent objects.
    EXPECT_NE(static_cast<MFTAttrHeader*>(record.data_attr_array[0]), record.attr_header_array[3]);
}

TEST(CreateMFTFileRecord, TheFixupsStayInTheBuffer)
{
    Diagnostics diagnostics;
    Bytes buffer = UsualRecord();
    Bytes expected = UsualBuilder().BuildUnprotected();
    PutLE(expected, 0x32, GetLE(expected, 510, 2), 2);
    PutLE(expected, 0x34, GetLE(expected, 1022, 2), 2);
    MFTFileRecord record;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 0, diagnostics), 0);
    EXPECT_EQ(buffer, expected);
}

TEST(CreateMFTFileRecord, ParentComesFromTheLastNameOutsideTheDosNamespace)
{
    Diagnostics diagnostics;
    struct Case {
        std::vector<std::pair<std::uint8_t, std::uint64_t>> names;  // namespace, parent
        std::uint64_t parent;
    };
    const Case cases[] = {
        {{{kDos, 9}}, 0},
        {{{kWin32, 7}, {kDos, 8}}, 7},
        {{{kDos, 8}, {kWin32, 7}}, 7},
        {{{kPosix, 3}, {kWin32AndDos, 4}}, 4},
        {{{kWin32, 3}, {kPosix, 11}, {kDos, 12}}, 11},
    };
    for (const Case& c : cases) {
        RecordBuilder builder;
        for (const auto& [name_space, parent] : c.names) {
            builder.FileName(u"n", name_space, parent);
        }
        Bytes buffer = builder.Build();
        MFTFileRecord record;
        ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 1, diagnostics), 0);
        EXPECT_EQ(record.file_name_array.size(), c.names.size());
        EXPECT_EQ(LastLongNameParent(record), c.parent);
    }
}

TEST(CreateMFTFileRecord, WithoutStandardInformationTheTimesStayUnset)
{
    Diagnostics diagnostics;
    Bytes buffer = RecordBuilder().FileName(u"bare", kWin32, 5).ResidentData(0).Build();
    MFTFileRecord record;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 3, diagnostics), 0);
    EXPECT_FALSE(record.std_info.create_time.IsValid());
    EXPECT_EQ(UtcText(record.std_info.access_time), "");
    EXPECT_EQ(record.std_info.file_attributes, 0u);
    EXPECT_FALSE(record.has_ads);
    ASSERT_EQ(record.data_attr_array.size(), 1u);
    EXPECT_EQ(record.data_attr_array[0]->value_length, 0u);
}

TEST(CreateMFTFileRecord, TheFirstStandardInformationWins)
{
    Diagnostics diagnostics;
    Bytes buffer = RecordBuilder()
                       .StandardInformation(Times::All(kSomeFiletime), 0x1)
                       .StandardInformation(Times::All(0), 0x2, 73)  // would fail if decoded
                       .FileName(u"f", kWin32, 5)
                       .Build();
    MFTFileRecord record;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 3, diagnostics), 0);
    EXPECT_EQ(record.std_info.file_attributes, 0x1u);
    ASSERT_EQ(record.attr_header_array.size(), 3u);
    EXPECT_EQ(record.attr_header_array[1]->attr_type, 0x10u);
}

TEST(CreateMFTFileRecord, InterleavedTypesKeepRecordOrderInEachArray)
{
    Diagnostics diagnostics;
    Bytes buffer = RecordBuilder()
                       .ResidentData(1, u"s1")
                       .FileName(u"first", kPosix, 5)
                       .ResidentData(2)
                       .FileName(u"second", kWin32, 6)
                       .ResidentData(3, u"s3")
                       .Build();
    MFTFileRecord record;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 3, diagnostics), 0);
    EXPECT_EQ(FileNames(record), (std::vector<wxString>{"first", "second"}));
    EXPECT_EQ(StreamNames(record), (std::vector<wxString>{"s1", "", "s3"}));
    EXPECT_EQ(LastLongNameParent(record), 6u);
}

// Each call decodes only the headers its own walk found, so a second record
// doubles every array rather than decoding the first record's headers again.
TEST(CreateMFTFileRecord, AnUnclearedRecordIsAppendedTo)
{
    Diagnostics diagnostics;
    Bytes first = UsualRecord();
    Bytes second = UsualRecord();
    MFTFileRecord record;
    ASSERT_EQ(CreateMFTFileRecord(first.data(), &record, 1, diagnostics), 0);
    ASSERT_EQ(CreateMFTFileRecord(second.data(), &record, 2, diagnostics), 0);
    EXPECT_EQ(record.attr_header_array.size(), 10u);
    EXPECT_EQ(record.file_name_array.size(), 4u);
    EXPECT_EQ(record.data_attr_array.size(), 4u);
    EXPECT_EQ(record.mft_header.mft_recno, 2u);

    Bytes third = RecordBuilder().FileName(u"third", kPosix, 77).Build();
    ASSERT_EQ(CreateMFTFileRecord(third.data(), &record, 3, diagnostics), 0);
    ASSERT_EQ(record.file_name_array.size(), 5u);
    EXPECT_EQ(record.file_name_array[4]->file_name, "third");
    EXPECT_EQ(record.data_attr_array.size(), 4u);
    EXPECT_EQ(LastLongNameParent(record), 77u);
}

TEST(CreateMFTFileRecord, TheSameBufferTwiceFailsAtTheFixups)
{
    Diagnostics diagnostics;
    Bytes buffer = UsualRecord();
    MFTFileRecord record;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 1, diagnostics), 0);
    ASSERT_TRUE(diagnostics.empty());
    record.Clear();
    EXPECT_EQ(CreateMFTFileRecord(buffer.data(), &record, 1, diagnostics), -1);
    EXPECT_EQ(Texts(diagnostics), kMismatchLines);
}

// Failure states: what is filled after each failure, and the log lines.

TEST(CreateMFTFileRecord, ANullBufferLeavesOneLine)
{
    MFTFileRecord record;
    ExpectRefusal([&](Diagnostics& diagnostics) { return CreateMFTFileRecord(nullptr, &record, 1, diagnostics); },
                  "CreateMFTFileRecord() - mft_rec_buf is NULL.");
    ExpectClearRecord(record);
}

TEST(CreateMFTFileRecord, AnObjectOfAnotherKindLeavesOneLineAndTheBufferAlone)
{
    Bytes buffer = UsualRecord();
    const Bytes before = buffer;
    MFTRecordHeader header;
    MFTAttrHeader attr_header;
    MFTDataAttr data_attr;
    for (wxObject* wrong : {static_cast<wxObject*>(&header), static_cast<wxObject*>(&attr_header),
                            static_cast<wxObject*>(&data_attr), static_cast<wxObject*>(nullptr)}) {
        Diagnostics diagnostics;
        EXPECT_EQ(CreateMFTFileRecord(buffer.data(), wrong, 1, diagnostics), -1);
        EXPECT_EQ(Texts(diagnostics),
                  std::vector<wxString>{"CreateMFTFileRecord() - mft_file_record is not of type MFTFileRecord."});
        EXPECT_EQ(diagnostics[0].level, DiagnosticLevel::kError);
    }
    EXPECT_EQ(buffer, before);
    EXPECT_EQ(header.magic, 0u);
}

TEST(CreateMFTFileRecord, BadFixupsLeaveTwoLinesAndTheRecordUntouched)
{
    Bytes buffer = UsualRecord();
    PutLE(buffer, 1022, 0x0002, 2);
    const Bytes before = buffer;
    MFTFileRecord record;
    Diagnostics diagnostics;
    EXPECT_EQ(CreateMFTFileRecord(buffer.data(), &record, 9, diagnostics), -1);
    EXPECT_EQ(Texts(diagnostics), kMismatchLines);
    EXPECT_EQ(TextsAt(diagnostics, DiagnosticLevel::kError).size(), 2u);
    ExpectClearRecord(record);
    EXPECT_EQ(buffer, before);

    Bytes zero(kRecordSize, 0);
    diagnostics.clear();
    EXPECT_EQ(CreateMFTFileRecord(zero.data(), &record, 9, diagnostics), -1);
    EXPECT_EQ(Texts(diagnostics),
              (std::vector<wxString>{"WriteFixupValues() - signature offset to fixup array is not valid.", kFixupLine}));
}

TEST(CreateMFTFileRecord, ANextAttributeIdOfZeroFailsSilentlyWithTheHeaderSet)
{
    Bytes buffer = RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).FileName(u"f", kWin32, 5).NextAttrId(0).Build();
    MFTFileRecord record;
    Diagnostics diagnostics;
    EXPECT_EQ(CreateMFTFileRecord(buffer.data(), &record, 12, diagnostics), -1);
    EXPECT_TRUE(diagnostics.empty());
    EXPECT_EQ(record.mft_header.magic, 0x454C4946u);
    EXPECT_EQ(record.mft_header.mft_recno, 12u);
    EXPECT_TRUE(record.attr_header_array.empty());
    EXPECT_FALSE(record.std_info.create_time.IsValid());

    // The same record with a bad update sequence: the fixup lines, first.
    Bytes bad = RecordBuilder().NextAttrId(0).Build();
    PutLE(bad, 510, 0x0005, 2);
    MFTFileRecord other;
    EXPECT_EQ(CreateMFTFileRecord(bad.data(), &other, 12, diagnostics), -1);
    EXPECT_EQ(Texts(diagnostics), kMismatchLines);
}

TEST(CreateMFTFileRecord, AFailedWalkLeavesTwoLinesAndTheHeaderSet)
{
    Bytes buffer = RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).Build();
    PutLE(buffer, 20, 8, 2);
    MFTFileRecord record;
    Diagnostics diagnostics;
    EXPECT_EQ(CreateMFTFileRecord(buffer.data(), &record, 4, diagnostics), -1);
    EXPECT_EQ(Texts(diagnostics),
              (std::vector<wxString>{"GetStdInfoAttr() - unable to determine first attribute offset.",
                                     "CreateMFTFileRecord() - PopulateAttrHeaderArray() failed."}));
    EXPECT_EQ(record.mft_header.first_attr_offset, 8);
    EXPECT_EQ(record.mft_header.mft_recno, 4u);
    EXPECT_TRUE(record.attr_header_array.empty());
}

TEST(CreateMFTFileRecord, AFailedStandardInformationLeavesTheHeadersListed)
{
    Bytes buffer = RecordBuilder()
                       .StandardInformation(Times::All(kSomeFiletime), 0, 73)
                       .FileName(u"f", kWin32, 5)
                       .ResidentData(1)
                       .Build();
    MFTFileRecord record;
    Diagnostics diagnostics;
    EXPECT_EQ(CreateMFTFileRecord(buffer.data(), &record, 4, diagnostics), -1);
    EXPECT_EQ(Texts(diagnostics),
              (std::vector<wxString>{"GetStdInfoAttr() - len is not the size of a $STANDARD_INFORMATION attribute.",
                                     "CreateMFTFileRecord() - GetStdInfoAttr() failed."}));
    EXPECT_EQ(record.attr_header_array.size(), 3u);
    EXPECT_FALSE(record.std_info.create_time.IsValid());
    EXPECT_TRUE(record.file_name_array.empty());
    EXPECT_TRUE(record.data_attr_array.empty());
}

TEST(CreateMFTFileRecord, AFailedFileNameKeepsTheNamesBeforeIt)
{
    Bytes broken = AttributeBytes(kTypeFileName, 24, false, 24);
    PutLE(broken, 0x14, 0xFFF0, 2);  // value offset far past the record end
    Bytes buffer = RecordBuilder()
                       .StandardInformation(Times::All(kSomeFiletime), 0x20)
                       .FileName(u"good", kWin32, 5)
                       .RawAttribute(broken)
                       .FileName(u"never", kWin32, 6)
                       .ResidentData(1, u"s")
                       .Build();
    MFTFileRecord record;
    Diagnostics diagnostics;
    EXPECT_EQ(CreateMFTFileRecord(buffer.data(), &record, 4, diagnostics), -1);
    EXPECT_EQ(Texts(diagnostics),
              (std::vector<wxString>{"GetFileNameAttr() - $FILE_NAME value runs past the end of the record.",
                                     "CreateMFTFileRecord() - GetFileNameAttr() failed."}));
    EXPECT_EQ(record.std_info.file_attributes, 0x20u);
    EXPECT_EQ(FileNames(record), std::vector<wxString>{"good"});
    EXPECT_EQ(LastLongNameParent(record), 5u);
    EXPECT_TRUE(record.data_attr_array.empty());
    EXPECT_FALSE(record.has_ads);
}

TEST(CreateMFTFileRecord, ExtensionRecordsDecodeWithTheirBaseReference)
{
    Diagnostics diagnostics;
    Bytes buffer = RecordBuilder().BaseRecord(57676, 1).NonResidentData(10, 4096, u"$J").Build();
    MFTFileRecord record;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 97583, diagnostics), 0);
    EXPECT_EQ(record.mft_header.base_recno, 57676u);
    EXPECT_EQ(record.mft_header.base_sequence, 1);
    EXPECT_TRUE(record.file_name_array.empty());
    EXPECT_TRUE(record.has_ads);
}

TEST(CreateMFTFileRecord, PhantomAttributesDoNotMultiply)
{
    // A $DATA of length 0 with a huge next attribute id: one pass, no rows.
    Bytes buffer = RecordBuilder()
                       .StandardInformation(Times::All(kSomeFiletime))
                       .FileName(u"f", kWin32, 5)
                       .RawAttribute(AttributeBytes(kTypeData, 0, false, 24))
                       .NextAttrId(0xFFFF)
                       .Build();
    MFTFileRecord record;
    Diagnostics diagnostics;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 4, diagnostics), 0);
    EXPECT_EQ(record.attr_header_array.size(), 2u);
    EXPECT_TRUE(record.data_attr_array.empty());
    EXPECT_TRUE(diagnostics.empty());
}

}  // namespace
}  // namespace varneth_test
