#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "decoding_test_support.h"
#include "mft/filetime.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"

namespace varneth_test {
namespace {

int g_deleted = 0;

// An attribute object that counts its deletion in g_deleted.
template <typename T>
class Counted : public T {
public:
    ~Counted() override { ++g_deleted; }
};
using CountedAttrHeader = Counted<MFTAttrHeader>;
using CountedFileName = Counted<MFTFileNameAttr>;
using CountedDataAttr = Counted<MFTDataAttr>;

TEST(MFTFileRecord, ANewRecordAndAClearedOneAreAlike)
{
    Diagnostics diagnostics;
    MFTFileRecord fresh;
    ExpectClearRecord(fresh);

    Bytes buffer = RecordBuilder()
                       .StandardInformation(Times::All(kSomeFiletime))
                       .FileName(u"x", kWin32, 9)
                       .ResidentData(1, u"ads")
                       .Build();
    MFTFileRecord used;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &used, 30, diagnostics), 0);
    ASSERT_TRUE(used.has_ads);
    used.Clear();
    ExpectClearRecord(used);
}

TEST(MFTFileRecord, ClearKeepsEachObjectOnceAndDestructionDeletesThem)
{
    g_deleted = 0;
    {
        MFTFileRecord record;
        record.attr_header_array = {new CountedAttrHeader, nullptr, new CountedAttrHeader};
        record.file_name_array = {new CountedFileName};
        record.data_attr_array = {new CountedDataAttr, new CountedDataAttr};
        const std::size_t capacity = record.attr_header_array.capacity();
        record.Clear();
        EXPECT_EQ(g_deleted, 0);
        EXPECT_TRUE(record.attr_header_array.empty());
        EXPECT_EQ(record.attr_header_array.capacity(), capacity);
        EXPECT_EQ(record.spare_attr_headers.size() + record.spare_file_names.size() + record.spare_data_attrs.size(),
                  5u);
        record.Clear();
        EXPECT_EQ(g_deleted, 0);
    }
    EXPECT_EQ(g_deleted, 5);
}

TEST(MFTFileRecord, DestructionDeletesWhatTheRecordHolds)
{
    g_deleted = 0;
    {
        MFTFileRecord record;
        record.file_name_array.push_back(new CountedFileName);
        record.data_attr_array.push_back(new CountedDataAttr);
    }
    EXPECT_EQ(g_deleted, 2);
}

// Every member of every attribute object, so that two decodings can be
// compared whole.
std::string Describe(const MFTFileRecord& record)
{
    std::ostringstream out;
    auto time = [](const wxDateTime& t) { return t.IsValid() ? t.FormatISOCombined().ToStdString() : "-"; };
    auto header = [&out](const MFTAttrHeader& h) {
        out << h.attr_type << ' ' << h.attr_length << ' ' << int{h.resident} << ' ' << int{h.name_length} << ' '
            << h.name_offset << ' ' << h.attr_flags << ' ' << h.attr_id << ' ' << h.value_length << ' '
            << h.value_offset << ' ' << h.indexed_flag << ' ' << h.start_vcn << ' ' << h.last_vcn << ' '
            << h.run_list_offset << ' ' << h.compression_unit << ' ' << h.attr_reserved << ' ' << h.alloc_size
            << ' ' << h.real_size << ' ' << h.init_size << ' ' << h.attr_offset << ' ' << h.is_ads;
    };
    for (const MFTAttrHeader* h : record.attr_header_array) {
        header(*h);
        out << '\n';
    }
    for (const MFTFileNameAttr* f : record.file_name_array) {
        out << f->parent_recno << ' ' << f->parent_sequence << ' ' << time(f->create_time) << ' '
            << time(f->mod_time) << ' ' << time(f->mft_mod_time) << ' ' << time(f->access_time) << ' '
            << f->alloc_size << ' ' << f->real_size << ' ' << f->name_flags << ' ' << f->file_name_length << ' '
            << f->name_space << " [" << f->file_name.utf8_string() << "]\n";
    }
    for (const MFTDataAttr* d : record.data_attr_array) {
        header(*d);
        out << " [" << d->stream_name.utf8_string() << "]\n";
    }
    out << record.has_ads << '\n';
    return out.str();
}

TEST(MFTFileRecord, ObjectsReusedAfterClearCarryNothingOfTheRecordBefore)
{
    Diagnostics diagnostics;
    const std::u16string long_name(200, u'L');
    const Bytes rich = RecordBuilder()
                           .StandardInformation(Times::All(kSomeFiletime))
                           .FileName(long_name, kWin32, 77, Times::All(kSomeFiletime), 9)
                           .FileName(u"LLLLLL~1", kDos, 77, Times::All(kSomeFiletime), 9)
                           .NonResidentData(123456789, 123457536)
                           .NonResidentData(5000, 8192, u"Zone.Identifier-and-more")
                           .ResidentData(40, u"second")
                           .Build();
    const Bytes plain = RecordBuilder()
                            .StandardInformation(Times::All(kSomeFiletime))
                            .FileName(u"a", kPosix, 5)
                            .ResidentData(3)
                            .ResidentData(1, u"s")
                            .Build();
    for (const auto& [first, second] : {std::pair{rich, plain}, std::pair{plain, rich}}) {
        MFTFileRecord fresh;
        Bytes buffer = second;
        ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &fresh, 40, diagnostics), 0);

        MFTFileRecord reused;
        buffer = first;
        ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &reused, 39, diagnostics), 0);
        reused.Clear();
        buffer = second;
        ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &reused, 40, diagnostics), 0);
        EXPECT_EQ(Describe(reused), Describe(fresh));
    }
}

TEST(MFTFileRecord, ReuseAfterClearDoesNotGrowTheArrays)
{
    Diagnostics diagnostics;
    Bytes image = RecordBuilder()
                      .StandardInformation(Times::All(kSomeFiletime))
                      .FileName(u"x", kWin32, 9)
                      .FileName(u"X~1", kDos, 9)
                      .ResidentData(1)
                      .Build();
    MFTFileRecord record;
    Bytes buffer = image;
    ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 1, diagnostics), 0);
    const auto* storage = record.attr_header_array.data();
    for (int i = 0; i < 100; ++i) {
        record.Clear();
        buffer = image;
        ASSERT_EQ(CreateMFTFileRecord(buffer.data(), &record, 1, diagnostics), 0);
    }
    EXPECT_EQ(record.attr_header_array.data(), storage);
    EXPECT_EQ(record.file_name_array.size(), 2u);
}

TEST(MFTRecordClasses, EachClassIsToldApartAtRunTime)
{
    MFTFileRecord record;
    MFTRecordHeader header;
    MFTAttrHeader attr_header;
    MFTStdInfoAttr std_info;
    MFTFileNameAttr file_name;
    MFTDataAttr data_attr;
    const wxObject* objects[] = {&record, &header, &attr_header, &std_info, &file_name, &data_attr};
    const wxClassInfo* classes[] = {wxCLASSINFO(MFTFileRecord),  wxCLASSINFO(MFTRecordHeader),
                                    wxCLASSINFO(MFTAttrHeader),  wxCLASSINFO(MFTStdInfoAttr),
                                    wxCLASSINFO(MFTFileNameAttr), wxCLASSINFO(MFTDataAttr)};
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t j = 0; j < 6; ++j) {
            // A $DATA attribute is also an attribute header; nothing else is
            // of another record class.
            const bool expected = i == j || (i == 5 && j == 2);
            EXPECT_EQ(objects[i]->IsKindOf(classes[j]), expected) << i << " " << j;
        }
        EXPECT_EQ(objects[i]->GetClassInfo(), classes[i]);
    }
}

TEST(AsKindOf, PassesOnlyObjectsOfTheKindOrDerivedFromIt)
{
    MFTDataAttr data_attr;
    MFTStdInfoAttr std_info;
    EXPECT_EQ(AsKindOf<MFTAttrHeader>(&data_attr), &data_attr);
    EXPECT_EQ(AsKindOf<MFTDataAttr>(&data_attr), &data_attr);
    EXPECT_EQ(AsKindOf<MFTAttrHeader>(&std_info), nullptr);
    EXPECT_EQ(AsKindOf<MFTFileRecord>(&std_info), nullptr);
    EXPECT_EQ(AsKindOf<MFTStdInfoAttr>(nullptr), nullptr);
    MFTAttrHeader plain;
    EXPECT_EQ(AsKindOf<MFTDataAttr>(&plain), nullptr);
}

TEST(MFTDataAttr, IsMadeFromAHeaderAndCopiesWhole)
{
    MFTAttrHeader header;
    header.attr_type = 0x80;
    header.attr_length = 72;
    header.resident = 0;
    header.name_length = 2;
    header.name_offset = 0x40;
    header.real_size = 8072;
    header.attr_offset = 384;
    header.is_ads = true;
    MFTDataAttr data(header);
    EXPECT_EQ(data.attr_type, 0x80u);
    EXPECT_EQ(data.attr_length, 72u);
    EXPECT_EQ(data.name_offset, 0x40);
    EXPECT_EQ(data.real_size, 8072u);
    EXPECT_EQ(data.attr_offset, 384u);
    EXPECT_TRUE(data.is_ads);
    EXPECT_TRUE(data.stream_name.empty());

    data.stream_name = "$J";
    MFTDataAttr copy;
    copy = data;
    EXPECT_EQ(copy.stream_name, "$J");
    EXPECT_EQ(copy.real_size, 8072u);
}

TEST(MFTStdInfoAttr, ClearUnsetsTheTimes)
{
    MFTStdInfoAttr info;
    info.create_time = FiletimeToDateTime(kSomeFiletime);
    info.usn = 4;
    info.Clear();
    EXPECT_FALSE(info.create_time.IsValid());
    EXPECT_EQ(info.usn, 0u);
}

}  // namespace
}  // namespace varneth_test
