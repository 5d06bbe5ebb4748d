#include <gtest/gtest.h>

#include "decoding_test_support.h"
#include "mft/attribute_walk.h"
#include "mft/mft_file_record.h"

namespace varneth_test {
namespace {

// Walks record into a fresh record object's array (which owns the headers).
struct Walk {
    explicit Walk(const Bytes& record)
    {
        result = PopulateAttrHeaderArray(record.data(), &owner.attr_header_array, diagnostics);
    }
    const std::vector<MFTAttrHeader*>& headers() const { return owner.attr_header_array; }
    std::vector<std::uint32_t> Types() const
    {
        std::vector<std::uint32_t> types;
        for (const MFTAttrHeader* header : headers()) {
            types.push_back(header->attr_type);
        }
        return types;
    }
    MFTFileRecord owner;
    Diagnostics diagnostics;
    int result = 0;
};

using Types = std::vector<std::uint32_t>;

TEST(PopulateAttrHeaderArray, ListsTheDecodedTypesInRecordOrderWithTheirOffsets)
{
    RecordBuilder builder;
    std::vector<std::size_t> offsets;
    offsets.push_back(builder.NextAttributeOffset());
    builder.StandardInformation(Times::All(kSomeFiletime));
    offsets.push_back(builder.NextAttributeOffset());
    builder.FileName(u"readme.txt", kWin32, 5);
    offsets.push_back(builder.NextAttributeOffset());
    builder.FileName(u"README~1.TXT", kDos, 5);
    offsets.push_back(builder.NextAttributeOffset());
    builder.ResidentData(10);
    offsets.push_back(builder.NextAttributeOffset());
    builder.ResidentData(4, u"zone");
    Walk walk(builder.BuildUnprotected());
    ASSERT_EQ(walk.result, 0);
    EXPECT_EQ(walk.Types(), (Types{0x10, 0x30, 0x30, 0x80, 0x80}));
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        EXPECT_EQ(walk.headers()[i]->attr_offset, offsets[i]) << i;
        EXPECT_EQ(walk.headers()[i]->attr_id, i) << i;
    }
    EXPECT_TRUE(walk.diagnostics.empty());
}

TEST(PopulateAttrHeaderArray, StepsOverOtherTypesByTheirLength)
{
    Bytes record = RecordBuilder()
                       .StandardInformation(Times::All(kSomeFiletime))
                       .ResidentAttribute(kTypeAttributeList, Bytes(40, 0xEE))
                       .ResidentAttribute(kTypeIndexRoot, Bytes(16, 0x10), u"$I30")
                       .FileName(u"a", kPosix, 5)
                       .BuildUnprotected();
    Walk walk(record);
    ASSERT_EQ(walk.result, 0);
    EXPECT_EQ(walk.Types(), (Types{0x10, 0x30}));
    EXPECT_EQ(walk.headers()[1]->attr_id, 3);
}

TEST(PopulateAttrHeaderArray, ReadsTheResidentPart)
{
    RecordBuilder builder;
    const std::size_t offset = builder.NextAttributeOffset();
    Bytes record = builder.ResidentData(37, u"res.ads").BuildUnprotected();
    record[offset + 0x0C] = 0x01;  // flags
    record[offset + 0x16] = 0x01;  // indexed flag
    record[offset + 0x17] = 0x80;  // and the byte after it
    Walk walk(record);
    ASSERT_EQ(walk.headers().size(), 1u);
    const MFTAttrHeader& header = *walk.headers()[0];
    EXPECT_EQ(header.resident, 1);
    EXPECT_EQ(header.attr_length, 80u);
    EXPECT_EQ(header.name_length, 7);
    EXPECT_EQ(header.name_offset, 0x18);
    EXPECT_EQ(header.attr_flags, 0x0001);
    EXPECT_EQ(header.value_length, 37u);
    EXPECT_EQ(header.value_offset, 0x28);
    EXPECT_EQ(header.indexed_flag, 0x8001);
    EXPECT_EQ(header.alloc_size, 0u);
    EXPECT_EQ(header.real_size, 0u);
    EXPECT_EQ(header.init_size, 0u);
    EXPECT_EQ(header.run_list_offset, 0);
    EXPECT_TRUE(header.is_ads);
}

TEST(PopulateAttrHeaderArray, ReadsTheNonResidentPart)
{
    RecordBuilder builder;
    const std::size_t offset = builder.NextAttributeOffset();
    Bytes record = builder.NonResidentData(8072, 8192).BuildUnprotected();
    PutLE(record, offset + 0x10, 0x10, 8);    // start VCN
    PutLE(record, offset + 0x22, 4, 2);       // compression unit
    PutLE(record, offset + 0x24, 0xCAFE, 4);  // reserved
    PutLE(record, offset + 0x38, 8000, 8);    // initialized size
    Walk walk(record);
    ASSERT_EQ(walk.headers().size(), 1u);
    const MFTAttrHeader& header = *walk.headers()[0];
    EXPECT_EQ(header.resident, 0);
    EXPECT_EQ(header.start_vcn, 0x10u);
    EXPECT_EQ(header.last_vcn, 1u);
    EXPECT_EQ(header.run_list_offset, 0x40);
    EXPECT_EQ(header.compression_unit, 4);
    EXPECT_EQ(header.attr_reserved, 0xCAFEu);
    EXPECT_EQ(header.alloc_size, 8192u);
    EXPECT_EQ(header.real_size, 8072u);
    EXPECT_EQ(header.init_size, 8000u);
    EXPECT_EQ(header.value_length, 0u);
    EXPECT_EQ(header.value_offset, 0);
    EXPECT_EQ(header.indexed_flag, 0);
    EXPECT_FALSE(header.is_ads);
}

TEST(PopulateAttrHeaderArray, AnAlternateStreamNeedsANameLengthAndANameOffset)
{
    RecordBuilder builder;
    builder.NonResidentData(1, 4096, u"ads1");
    const std::size_t no_length = builder.NextAttributeOffset();
    builder.ResidentData(3, u"xyz");
    const std::size_t no_offset = builder.NextAttributeOffset();
    builder.ResidentData(3, u"xyz");
    builder.ResidentAttribute(kTypeFileName, Bytes(0x42, 0), u"na");  // a name, but not $DATA
    Bytes record = builder.BuildUnprotected();
    record[no_length + 0x09] = 0;
    PutLE(record, no_offset + 0x0A, 0, 2);

    Walk walk(record);
    ASSERT_EQ(walk.headers().size(), 4u);
    EXPECT_TRUE(walk.headers()[0]->is_ads);
    EXPECT_EQ(walk.headers()[0]->name_length, 4);
    EXPECT_EQ(walk.headers()[0]->name_offset, 0x40);
    EXPECT_FALSE(walk.headers()[1]->is_ads);
    EXPECT_FALSE(walk.headers()[2]->is_ads);
    EXPECT_FALSE(walk.headers()[3]->is_ads);
}

TEST(PopulateAttrHeaderArray, AnAttributeTooShortForItsCommonPartEndsTheWalk)
{
    // A length of 0 would never move the walk on; 15 cannot hold the common
    // part. Either ends the walk like the end marker, once, with success.
    for (std::uint32_t length : {0u, 1u, 8u, 15u}) {
        for (std::uint32_t type : {kTypeData, kTypeFileName, kTypeAttributeList}) {
            Bytes record = RecordBuilder()
                               .StandardInformation(Times::All(kSomeFiletime))
                               .RawAttribute(AttributeBytes(type, length, false, 24))
                               .FileName(u"after", kWin32, 5)
                               .NextAttrId(60000)
                               .BuildUnprotected();
            Walk walk(record);
            EXPECT_EQ(walk.result, 0) << length;
            EXPECT_EQ(walk.Types(), (Types{0x10})) << length << " " << type;
            EXPECT_TRUE(walk.diagnostics.empty());
        }
    }
}

TEST(PopulateAttrHeaderArray, ALengthOfSixteenStillSteps)
{
    Bytes record = RecordBuilder()
                       .RawAttribute(AttributeBytes(kTypeData, 16, false, 16))
                       .FileName(u"after", kWin32, 5)
                       .BuildUnprotected();
    Walk walk(record);
    ASSERT_EQ(walk.result, 0);
    EXPECT_EQ(walk.Types(), (Types{0x80, 0x30}));
}

TEST(PopulateAttrHeaderArray, VisitsAtMostNextAttributeIdAttributes)
{
    Bytes kept_only = RecordBuilder()
                          .StandardInformation(Times::All(kSomeFiletime))
                          .FileName(u"one", kWin32, 5)
                          .ResidentData(1)
                          .NextAttrId(2)
                          .BuildUnprotected();
    EXPECT_EQ(Walk(kept_only).Types(), (Types{0x10, 0x30}));

    // Stepped-over attributes count as visits too.
    Bytes with_other = RecordBuilder()
                           .StandardInformation(Times::All(kSomeFiletime))
                           .ResidentAttribute(kTypeAttributeList, Bytes(8, 0))
                           .FileName(u"one", kWin32, 5)
                           .NextAttrId(2)
                           .BuildUnprotected();
    EXPECT_EQ(Walk(with_other).Types(), (Types{0x10}));

    Bytes one = RecordBuilder().ResidentData(1).ResidentData(2).NextAttrId(1).BuildUnprotected();
    EXPECT_EQ(Walk(one).Types(), (Types{0x80}));
}

TEST(PopulateAttrHeaderArray, WithoutAnEndMarkerTheWalkEndsAtTheLimitOrTheRecordEnd)
{
    Bytes record = RecordBuilder().ResidentData(1).FileName(u"x", kPosix, 5).NoEndMarker().BuildUnprotected();
    Walk walk(record);
    EXPECT_EQ(walk.result, 0);
    EXPECT_EQ(walk.Types(), (Types{0x80, 0x30}));
}

TEST(PopulateAttrHeaderArray, AFirstOffsetBelowSixteenIsRefusedUnderTheOldName)
{
    for (std::uint16_t first : {0, 8, 15}) {
        Bytes record = RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).BuildUnprotected();
        PutLE(record, 20, first, 2);
        Walk walk(record);
        EXPECT_EQ(walk.result, -1);
        EXPECT_TRUE(walk.headers().empty());
        EXPECT_EQ(Texts(walk.diagnostics),
                  std::vector<wxString>{"GetStdInfoAttr() - unable to determine first attribute offset."});
    }
    Bytes sixteen = RecordBuilder().NextAttrId(1).BuildUnprotected();
    PutLE(sixteen, 20, 16, 2);
    EXPECT_EQ(Walk(sixteen).result, 0);
}

TEST(PopulateAttrHeaderArray, ANextAttributeIdOfZeroFailsSilently)
{
    Bytes record = RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).NextAttrId(0).BuildUnprotected();
    Walk walk(record);
    EXPECT_EQ(walk.result, -1);
    EXPECT_TRUE(walk.headers().empty());
    EXPECT_TRUE(walk.diagnostics.empty());
}

TEST(PopulateAttrHeaderArray, RefusesNullArguments)
{
    Bytes record = RecordBuilder().BuildUnprotected();
    std::vector<MFTAttrHeader*> headers;
    ExpectRefusal([&](Diagnostics& diagnostics) { return PopulateAttrHeaderArray(nullptr, &headers, diagnostics); },
                  "PopulateAttrHeaderArray() - mft_rec_buf is NULL.");
    ExpectRefusal(
        [&](Diagnostics& diagnostics) { return PopulateAttrHeaderArray(record.data(), nullptr, diagnostics); },
                  "PopulateAttrHeaderArray() - pAttrHeaderArray size is NULL.");
}

TEST(PopulateAttrHeaderArray, AppendsToWhatTheArrayHolds)
{
    Bytes record = RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).FileName(u"f", kWin32, 5).BuildUnprotected();
    MFTFileRecord owner;
    Diagnostics diagnostics;
    ASSERT_EQ(PopulateAttrHeaderArray(record.data(), &owner.attr_header_array, diagnostics), 0);
    ASSERT_EQ(PopulateAttrHeaderArray(record.data(), &owner.attr_header_array, diagnostics), 0);
    ASSERT_EQ(owner.attr_header_array.size(), 4u);
    EXPECT_EQ(owner.attr_header_array[2]->attr_type, 0x10u);
}

// Near the end of the record an attribute is read only when its common part
// ends before byte 1024 and its resident (24-byte) or non-resident (64-byte)
// header fits whole; otherwise the walk ends before it, with success.
TEST(PopulateAttrHeaderArray, NearTheRecordEndOnlyWholeHeadersAreRead)
{
    struct Case {
        const char* what;
        std::uint16_t first_attr_offset;
        Bytes attribute;
        Types types;
    };
    const Case cases[] = {
        {"common part reaching byte 1024", 1008, AttributeBytes(kTypeData, 16, false, 16), {}},
        {"no room for a common part", 1010, {}, {}},
        {"resident, ending at byte 1023", 1000, AttributeBytes(kTypeData, 24, false, 24), {0x80}},
        {"resident, cut", 1001, AttributeBytes(kTypeData, 24, false, 23), {}},  // 1001 + 16 < 1024
        {"non-resident, ending at byte 1023", 960, AttributeBytes(kTypeData, 64, true, 64), {0x80}},
        {"non-resident, cut", 968, AttributeBytes(kTypeData, 64, true, 56), {}},
    };
    for (const Case& c : cases) {
        RecordBuilder builder;
        builder.FirstAttrOffset(c.first_attr_offset).RawAttribute(c.attribute).NextAttrId(1);
        Walk walk(builder.BuildUnprotected());
        EXPECT_EQ(walk.result, 0) << c.what;
        EXPECT_EQ(walk.Types(), c.types) << c.what;
        if (!walk.headers().empty()) {
            EXPECT_EQ(walk.headers()[0]->attr_offset, c.first_attr_offset) << c.what;
        }
    }
}

TEST(PopulateAttrHeaderArray, AHeaderCutByTheRecordEndKeepsTheHeadersBeforeIt)
{
    RecordBuilder builder;
    builder.FirstAttrOffset(56).ResidentData(8);
    const std::size_t filler = 968 - builder.NextAttributeOffset();
    builder.RawAttribute(AttributeBytes(kTypeAttributeList, static_cast<std::uint32_t>(filler), false, filler));
    builder.RawAttribute(AttributeBytes(kTypeFileName, 64, true, 56));
    Walk before(builder.BuildUnprotected());
    EXPECT_EQ(before.result, 0);
    EXPECT_EQ(before.Types(), (Types{0x80}));
}

TEST(PopulateAttrHeaderArray, ALengthPastTheRecordEndKeepsTheAttributeAndStops)
{
    Bytes record = RecordBuilder().StandardInformation(Times::All(kSomeFiletime)).FileName(u"x", kWin32, 5).BuildUnprotected();
    PutLE(record, 0x38 + 4, 0xFFFFFFF0u, 4);  // the first attribute's length
    Walk walk(record);
    EXPECT_EQ(walk.result, 0);
    EXPECT_EQ(walk.Types(), (Types{0x10}));
    EXPECT_EQ(walk.headers()[0]->attr_length, 0xFFFFFFF0u);
}

// Where and why a walk stops before the end marker (the run test has 0x3FF and 0x7FFFFFFF).
TEST(PopulateAttrHeaderArray, AWalkThatBreaksBeforeTheEndMarkerSaysWhereAndWhy)
{
    using Cause = AttributeWalkBreak::Cause;
    const Bytes data = RecordBuilder().ResidentData(1).ResidentData(2).ResidentData(3).BuildUnprotected();
    const auto with = [&data](std::size_t at, std::uint32_t value, int width) {
        Bytes record = data;
        PutLE(record, at, value, width);
        return record;
    };
    const std::pair<Bytes, AttributeWalkBreak> cases[] = {
        {data, {Cause::kNone, 0, 0}},
        {with(0x58 + 4, 8, 4), {Cause::kTooShort, 0x58, 8}},   // the second attribute's length
        {with(40, 2, 2), {Cause::kNoEndMarker, 0x78, 0}},      // more attributes than the id counter
        {RecordBuilder().FirstAttrOffset(968).RawAttribute(AttributeBytes(kTypeData, 64, true, 56)).NextAttrId(1)
             .BuildUnprotected(), {Cause::kHeaderCut, 968, 64}},
    };
    for (const auto& [record, expected] : cases) {
        MFTFileRecord owner;
        Diagnostics diagnostics;
        AttributeWalkBreak found{Cause::kTooShort, 1, 1};
        PopulateAttrHeaderArray(record.data(), &owner.attr_header_array, diagnostics, nullptr, kMftRecordSize, nullptr,
                                nullptr, &found);
        EXPECT_EQ(std::tie(found.cause, found.offset, found.length),
                  std::tie(expected.cause, expected.offset, expected.length));
    }
}

}  // namespace
}  // namespace varneth_test
