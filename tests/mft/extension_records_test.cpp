// Base records with an $ATTRIBUTE_LIST get the $FILE_NAME and $DATA
// attributes their extension records hold: from a resident list, from the
// header pass for a list that is not resident, and never from a record that
// belongs to another base (or to an earlier use of this one), whatever the
// list says. 1024- and 4096-byte records alike.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <wx/file.h>

#include "decoding_test_support.h"
#include "mft/attribute_list.h"
#include "mft/extension_records.h"
#include "mft/record_construction.h"
#include "mft/record_source.h"
#include "support/cli_runner.h"

namespace varneth_test {
namespace {

const Times kTimes = Times::All(kSomeFiletime);
const wxString kPastTheEnd = "AddExtensionRecords() - extension record 1000 of record 15 can't be read.";

// Each base record below is one case; the records after it are its
// extension records, or records a bad list points at.
MftImage Volume(std::size_t size)
{
    auto base = [size](std::uint16_t sequence = 1) {
        return RecordBuilder(size).SequenceNumber(sequence).StandardInformation(kTimes, 0x20);
    };
    auto extension = [size](std::uint64_t base_recno, std::uint16_t base_sequence = 1) {
        return RecordBuilder(size).BaseRecord(base_recno, base_sequence);
    };
    MftImage image(size);
    image.AddZeroBlocks(1);
    image.Add(base().FileName(u"base.txt", kWin32, 5).ResidentData(10)  // 1: names and streams from three
                  .AttributeList({{kTypeFileName, 1}, {kTypeData, 1}, {kTypeData, 3}, {kTypeFileName, 2},
                                  {kTypeData, 2}, {kTypeData, 4}, {kTypeFileName, 4}})
                  .Build());
    image.Add(extension(1).FileName(u"link.txt", kWin32, 6).ResidentData(20, u"a").Build());          // 2
    image.Add(extension(1).NonResidentData(5000, 8192, u"b").Build());                                // 3
    image.Add(extension(1).FileName(u"THIRD~1.TXT", kDos, 6).ResidentData(30, u"c").Build());         // 4
    image.Add(base().AttributeList({{kTypeFileName, 6}, {kTypeData, 6}}).Build());                    // 5: only name out
    image.Add(extension(5).FileName(u"only-here.txt", kWin32, 5).NonResidentData(700, 4096).Build());  // 6
    image.Add(base().FileName(u"split.bin", kWin32, 5)                                                // 7: split stream
                  .AttributeList({{kTypeData, 9, 1, 0, 16}, {kTypeData, 8}}).Build());
    image.Add(extension(7).NonResidentData(123456, 131072).Build());                                  // 8: VCN 0
    image.Add(extension(7).NonResidentData(999, 999, u"", 16).Build());                               // 9: VCN 16
    image.Add(base().FileName(u"far-list.txt", kWin32, 5).NonResidentAttributeList().Build());        // 10
    image.Add(extension(10).ResidentData(11, u"x").Build());                                          // 11
    image.Add(extension(10, 7).ResidentData(12, u"stale").Build());                                   // 12: reused base
    image.Add(extension(14, 2).ResidentData(13, u"old").Build());                                     // 13
    image.Add(base(3).FileName(u"reused.txt", kWin32, 5).AttributeList({{kTypeData, 13, 2}}).Build());  // 14
    image.Add(base().FileName(u"bad.txt", kWin32, 5)                                                  // 15: bad entries
                  .AttributeList({{kTypeFileName, 15}, {kTypeData, 1000}, {kTypeData, 3}, {kTypeData, 5},
                                  {kTypeData, 16}, {kTypeData, 16}, {kTypeFileName, 16}})
                  .Build());
    image.Add(extension(15).ResidentData(14, u"good").Build());                                       // 16
    image.Add(base().FileName(u"no-list.txt", kWin32, 5).Build());                                    // 17
    image.Add(extension(17).ResidentData(15, u"unlisted").Build());                                   // 18
    image.Add(extension(20, 2).ResidentData(16, u"kept").Build());                                    // 19
    image.Add(base(3).InUse(false).FileName(u"deleted.txt", kWin32, 5)                                // 20: freed since
                  .AttributeList({{kTypeData, 19, 2}}).Build());
    return image;
}

struct Merged {
    std::vector<wxString> names;
    std::vector<wxString> streams;  // "name=size"
    std::vector<wxString> lines;
    std::uint64_t parent = 0;
    std::size_t headers = 0;
};

class ExtensionRecordsTest : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override
    {
        Volume(GetParam()).WriteTo(dir_.File("in.mft"));
        ASSERT_TRUE(file_.Open(dir_.File("in.mft")));
    }

    Merged Decode(std::uint64_t recno, ExtensionRecordReader& reader)
    {
        const RecordSource source(file_.fd(), GetParam());
        Bytes buffer(GetParam());
        EXPECT_EQ(source.ReadQuietly(recno, buffer.data(), buffer.size()), RecordSource::ReadResult::kWhole);
        Diagnostics diagnostics;
        record_.Clear();
        EXPECT_EQ(CreateMFTFileRecord(buffer.data(), &record_, recno, diagnostics, GetParam()), 0);
        reader.AddExtensionRecords(buffer.data(), record_, diagnostics);
        Merged merged{FileNames(record_), {}, Texts(diagnostics), LastLongNameParent(record_),
                      record_.attr_header_array.size()};
        for (const MFTDataAttr* data : record_.data_attr_array) {
            const std::uint64_t size = data->resident ? data->value_length : data->real_size;
            merged.streams.push_back(data->stream_name + "=" + std::to_string(size));
        }
        return merged;
    }

    TempDir dir_;
    wxFile file_;
    MFTFileRecord record_;  // reused, as a worker's is
};

TEST_P(ExtensionRecordsTest, BaseRecordsGetWhatTheirExtensionRecordsHold)
{
    using Names = std::vector<wxString>;
    const struct {
        const char* label;
        std::uint64_t recno;
        Names names;
        Names streams;
        Names lines;
        std::uint64_t parent;
    } cases[] = {
        {"names and streams from three extension records, each record once, in list order", 1,
         {"base.txt", "link.txt", "THIRD~1.TXT"}, {"=10", "b=5000", "a=20", "c=30"}, {}, 6},
        {"the only name in an extension record", 5, {"only-here.txt"}, {"=700"}, {}, 5},
        {"a stream split over two records: the VCN 0 piece only", 7, {"split.bin"}, {"=123456"}, {}, 5},
        {"a list out of the $MFT: its extension records by their headers", 10, {"far-list.txt"}, {"x=11"}, {}, 5},
        {"the extension record of an earlier use of the base record", 14, {"reused.txt"}, {}, {}, 5},
        {"a deleted file's: its base freed after them, one sequence number on", 20, {"deleted.txt"},
         {"kept=16"}, {}, 5},
        {"the base itself, past the end, another's extension, a base record, duplicates", 15, {"bad.txt"},
         {"good=14"}, {kPastTheEnd}, 5},
        {"no list: an extension record naming the record is not read", 17, {"no-list.txt"}, {}, {}, 5},
    };
    const ExtensionRecordIndex index(RecordSource(file_.fd(), GetParam()), Volume(GetParam()).RecordCount());
    ExtensionRecordReader reader(RecordSource(file_.fd(), GetParam()), index);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Merged merged = Decode(c.recno, reader);
        EXPECT_EQ(merged.names, c.names);
        EXPECT_EQ(merged.streams, c.streams);
        EXPECT_EQ(merged.lines, c.lines);
        EXPECT_EQ(merged.parent, c.parent);
        // A header for every name and stream the record holds, and for its
        // own $STANDARD_INFORMATION: a body file's ids come from them.
        EXPECT_EQ(merged.headers, 1 + c.names.size() + c.streams.size());
    }
}

INSTANTIATE_TEST_SUITE_P(RecordSizes, ExtensionRecordsTest, ::testing::Values(kRecordSize, kLargeRecordSize));

TEST(DecodeAttributeList, StepsByEachEntrysLengthAndStopsAtABadOne)
{
    const wxString kBadLength = "DecodeAttributeList() - an entry's length is not valid; the list ends before it.";
    auto list = [](std::vector<std::uint64_t> lengths) {
        Bytes value;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const std::size_t at = value.size();
            value.resize(at + std::max<std::uint64_t>(lengths[i], 26), 0);
            PutLE(value, at, kTypeData, 4);
            PutLE(value, at + 4, lengths[i], 2);
            PutLE(value, at + 0x10, 100 + i, 6);
            PutLE(value, at + 0x16, 3, 2);
        }
        return value;
    };
    const struct {
        const char* label;
        Bytes value;
        std::size_t entries;
        bool said;
    } cases[] = {
        {"entries with names of their own length", list({32, 40, 26}), 3, false},
        {"an empty list", {}, 0, false},
        {"a length of 0 would not move on", list({32, 0, 32}), 1, true},
        {"a length below the fixed part", list({25}), 0, true},
        {"a length past the value", [&] { Bytes v = list({32, 32}); v.resize(50); return v; }(), 1, true},
        {"a tail too short for a length", [&] { Bytes v = list({32}); v.resize(37); return v; }(), 1, true},
    };
    std::vector<AttributeListEntry> entries(5);  // emptied first
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Diagnostics diagnostics;
        DecodeAttributeList(ByteReader(c.value.data(), c.value.size()), entries, diagnostics);
        ASSERT_EQ(entries.size(), c.entries);
        EXPECT_EQ(Texts(diagnostics), c.said ? std::vector<wxString>{kBadLength} : std::vector<wxString>{});
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].attr_type, kTypeData);
            EXPECT_EQ(entries[i].segment_recno, 100 + i);
            EXPECT_EQ(entries[i].segment_sequence, 3);
        }
    }
}

}  // namespace
}  // namespace varneth_test
