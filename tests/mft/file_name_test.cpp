#include <gtest/gtest.h>

#include "decoding_test_support.h"
#include "mft/file_name.h"
#include "mft/mft_file_record.h"

namespace varneth_test {
namespace {

struct Decoded {
    int result = 0;
    MFTFileNameAttr name;
};

// A $FILE_NAME header whose value starts value_offset bytes into an
// attribute at attr_offset; by default, where a record built with one
// unnamed attribute has it.
MFTAttrHeader FileNameHeader(std::uint32_t attr_offset = 0x38, std::uint16_t value_offset = 0x18)
{
    MFTAttrHeader header;
    header.attr_type = kAttrTypeFileName;
    header.attr_offset = attr_offset;
    header.value_offset = value_offset;
    return header;
}

// Builds a record with one $FILE_NAME and decodes it.
Decoded DecodeName(const std::u16string& name, std::uint8_t name_space = kWin32, std::uint64_t parent = 5,
                   std::uint16_t parent_sequence = 1)
{
    Diagnostics diagnostics;
    Bytes record = RecordBuilder()
                       .FileName(name, name_space, parent, Times::All(kSomeFiletime), parent_sequence)
                       .BuildUnprotected();
    MFTAttrHeader header = FileNameHeader();
    Decoded decoded;
    decoded.result = GetFileNameAttr(&header, &decoded.name, record.data(), diagnostics);
    return decoded;
}

TEST(GetFileNameAttr, DecodesEveryMember)
{
    Times times{kSomeFiletime, kSomeFiletime + 10000000, kSomeFiletime + 20000000, kSomeFiletime + 30000000};
    Bytes record = RecordBuilder().FileName(u"test_cfuncs.py", kWin32, 26359, times, 3).BuildUnprotected();
    const std::size_t value = 0x38 + 0x18;
    PutLE(record, value + 0x28, 8192, 8);
    PutLE(record, value + 0x30, 8072, 8);
    PutLE(record, value + 0x38, 0x0020, 2);
    PutLE(record, value + 0x3C, 0xDEADBEEF, 4);  // reparse value: not read

    MFTAttrHeader header = OnlyHeader(record);
    MFTFileNameAttr name;
    Diagnostics diagnostics;
    ASSERT_EQ(GetFileNameAttr(&header, &name, record.data(), diagnostics), 0);
    EXPECT_EQ(name.parent_recno, 26359u);
    EXPECT_EQ(name.parent_sequence, 3);
    EXPECT_EQ(UtcText(name.create_time), "2012-12-14 23:06:40");
    EXPECT_EQ(UtcText(name.mod_time), "2012-12-14 23:06:41");
    EXPECT_EQ(UtcText(name.mft_mod_time), "2012-12-14 23:06:42");
    EXPECT_EQ(UtcText(name.access_time), "2012-12-14 23:06:43");
    EXPECT_EQ(name.alloc_size, 8192u);
    EXPECT_EQ(name.real_size, 8072u);
    EXPECT_EQ(name.name_flags, 0x0020);
    EXPECT_EQ(name.file_name_length, 14);
    EXPECT_EQ(name.name_space, kNameSpaceWin32);
    EXPECT_EQ(name.file_name, "test_cfuncs.py");
    EXPECT_TRUE(diagnostics.empty());
}

TEST(GetFileNameAttr, TheParentReferenceIsFortyEightBitsAndASequence)
{
    Diagnostics diagnostics;
    Bytes record = RecordBuilder().FileName(u"x", kWin32, 0).BuildUnprotected();
    const std::size_t value = 0x38 + 0x18;
    const std::uint8_t reference[] = {0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
    std::copy(std::begin(reference), std::end(reference), record.begin() + value);
    MFTAttrHeader header = FileNameHeader();
    MFTFileNameAttr name;
    ASSERT_EQ(GetFileNameAttr(&header, &name, record.data(), diagnostics), 0);
    EXPECT_EQ(name.parent_recno, 5u);
    EXPECT_EQ(name.parent_sequence, 1);

    Decoded big = DecodeName(u"x", kWin32, 0xFFFFFFFFFFFFull, 0xFFFF);
    EXPECT_EQ(big.name.parent_recno, 0xFFFFFFFFFFFFull);
    EXPECT_EQ(big.name.parent_sequence, 0xFFFF);
}

TEST(GetFileNameAttr, NamesOfLengthZeroAndTwoHundredFiftyFive)
{
    Decoded empty = DecodeName(u"");
    ASSERT_EQ(empty.result, 0);
    EXPECT_TRUE(empty.name.file_name.empty());
    EXPECT_EQ(empty.name.file_name_length, 0);

    std::u16string long_name;
    for (int i = 0; i < 255; ++i) {
        long_name.push_back(static_cast<char16_t>(u'a' + i % 26));
    }
    Decoded full = DecodeName(long_name);
    ASSERT_EQ(full.result, 0);
    EXPECT_EQ(full.name.file_name_length, 255);
    ASSERT_EQ(full.name.file_name.length(), 255u);
    EXPECT_EQ(full.name.file_name[254], wxUniChar('a' + 254 % 26));
}

TEST(GetFileNameAttr, NamespacesAreKeptAsFound)
{
    for (std::uint8_t name_space : {kPosix, kWin32, kDos, kWin32AndDos}) {
        EXPECT_EQ(DecodeName(u"n", name_space).name.name_space, name_space);
    }
}

TEST(GetFileNameAttr, ANameEndsAtItsFirstZeroCharacter)
{
    Decoded decoded = DecodeName(std::u16string(u"abc\0def", 7));
    ASSERT_EQ(decoded.result, 0);
    EXPECT_EQ(decoded.name.file_name, "abc");
    EXPECT_EQ(decoded.name.file_name_length, 7);
}

TEST(GetFileNameAttr, SurrogatePairsAndLoneSurrogates)
{
    Decoded emoji = DecodeName(U16("photo-\xF0\x9F\x98\x80.jpg"));  // U+1F600
    ASSERT_EQ(emoji.result, 0);
    EXPECT_EQ(emoji.name.file_name_length, 12);
    EXPECT_EQ(emoji.name.file_name, wxString::FromUTF8("photo-\xF0\x9F\x98\x80.jpg"));
    EXPECT_EQ(emoji.name.file_name.length(), 11u);

    Decoded lone = DecodeName(std::u16string{u'a', 0xD800, u'b', 0xDC00});
    ASSERT_EQ(lone.result, 0);
    EXPECT_EQ(lone.name.file_name, wxString::FromUTF8("a\xEF\xBF\xBD" "b\xEF\xBF\xBD"));
    EXPECT_TRUE(lone.name.file_name.utf8_str().length() > 0);
}

TEST(GetFileNameAttr, RefusesWithItsMessages)
{
    Bytes record = RecordBuilder().FileName(u"x", kWin32, 5).BuildUnprotected();
    MFTAttrHeader header = FileNameHeader();
    MFTFileNameAttr name;
    name.file_name = "untouched";
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetFileNameAttr(&header, &name, nullptr, diagnostics); },
                  "GetFileNameAttr() - mft_rec_buf is NULL.");
    MFTStdInfoAttr std_info;
    MFTRecordHeader record_header;
    for (wxObject* wrong : {static_cast<wxObject*>(&std_info), static_cast<wxObject*>(&record_header),
                            static_cast<wxObject*>(nullptr)}) {
        ExpectRefusal(
            [&](Diagnostics& diagnostics) { return GetFileNameAttr(wrong, &name, record.data(), diagnostics); },
            "GetFileNameAttr() - attr_header is not a  MFTAttrHeader instance.");
    }
    for (std::uint32_t type : {kAttrTypeStandardInformation, kAttrTypeData, 0x20u}) {
        header.attr_type = type;
        ExpectRefusal(
            [&](Diagnostics& diagnostics) { return GetFileNameAttr(&header, &name, record.data(), diagnostics); },
            "GetFileNameAttr() - Attribute type is not a $FILENAME.");
    }
    header.attr_type = kAttrTypeFileName;
    ExpectRefusal(
        [&](Diagnostics& diagnostics) { return GetFileNameAttr(&header, nullptr, record.data(), diagnostics); },
        "GetFileNameAttr() - file_name_attr is NULL.");
    EXPECT_EQ(name.file_name, "untouched");
}

TEST(GetFileNameAttr, AcceptsADataAttrHeaderAsAnAttrHeader)
{
    Diagnostics diagnostics;
    MFTDataAttr data_header{FileNameHeader()};
    Bytes record = RecordBuilder().FileName(u"kind", kWin32, 5).BuildUnprotected();
    MFTFileNameAttr name;
    EXPECT_EQ(GetFileNameAttr(&data_header, &name, record.data(), diagnostics), 0);
    EXPECT_EQ(name.file_name, "kind");
}

// The 66 fixed bytes and the name must lie inside the record; a value that
// would run past its end fails the decode and leaves the output untouched.
TEST(GetFileNameAttr, AFixedPartRunningPastTheRecordEndIsRefused)
{
    Bytes record(kRecordSize, 0x41);
    MFTFileNameAttr name;
    struct Place {
        std::uint32_t attr_offset;
        std::uint16_t value_offset;
    };
    const Place places[] = {{1024 - 65, 0}, {1000, 0x18}, {1024, 0}, {0xFFFFFFFF, 0xFFFF}, {0x38, 0xFFFF}};
    for (const Place& place : places) {
        SCOPED_TRACE(place.attr_offset);
        MFTAttrHeader header = FileNameHeader(place.attr_offset, place.value_offset);
        ExpectRefusal(
            [&](Diagnostics& diagnostics) { return GetFileNameAttr(&header, &name, record.data(), diagnostics); },
            "GetFileNameAttr() - $FILE_NAME value runs past the end of the record.");
    }
    EXPECT_EQ(name.parent_recno, 0u);
    EXPECT_FALSE(name.create_time.IsValid());
}

TEST(GetFileNameAttr, ANameRunningPastTheRecordEndIsRefused)
{
    Diagnostics diagnostics;
    // Fixed part at 1024 - 66 - 2 * 3: room for a name of 3 units exactly.
    Bytes record(kRecordSize, 0);
    const std::size_t value = 1024 - 66 - 6;
    record[value + 0x40] = 3;
    PutLE(record, value + 0x42, u'a', 2);
    PutLE(record, value + 0x44, u'b', 2);
    PutLE(record, value + 0x46, u'c', 2);
    MFTAttrHeader header = FileNameHeader(static_cast<std::uint32_t>(value), 0);
    MFTFileNameAttr name;
    ASSERT_EQ(GetFileNameAttr(&header, &name, record.data(), diagnostics), 0);
    EXPECT_EQ(name.file_name, "abc");

    record[value + 0x40] = 4;
    MFTFileNameAttr cut;
    ExpectRefusal([&](Diagnostics& diagnostics) { return GetFileNameAttr(&header, &cut, record.data(), diagnostics); },
                  "GetFileNameAttr() - file name runs past the end of the record.");
    EXPECT_TRUE(cut.file_name.empty());
    EXPECT_EQ(cut.file_name_length, 0);
}

}  // namespace
}  // namespace varneth_test
