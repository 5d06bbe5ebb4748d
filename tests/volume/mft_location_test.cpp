// Finding the $MFT on a volume built byte by byte: through record 0's run
// list, through its attribute list's extension records, through the mirror
// when record 0 cannot be used, and through layouts that point back at
// themselves or past any image, which must end with what can be used.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/diagnostic_texts.h"
#include "support/memory_image.h"
#include "support/volume_builder.h"
#include "volume/mft_location.h"

namespace varneth_test {
namespace {

constexpr std::uint64_t kMftBytes = 16 * kRecordSize;

struct Found {
    LocatedMft mft;
    Diagnostics diagnostics;
};

Found Locate(const Bytes& image, std::uint64_t volume_offset = 0)
{
    Found found;
    const auto boot = DecodeNtfsBootSector(ByteReader(image.data() + volume_offset, 512));
    EXPECT_TRUE(boot.has_value());
    if (boot) {
        found.mft = LocateMft(std::make_shared<MemoryImage>(image), volume_offset, *boot, found.diagnostics);
    }
    return found;
}

// "STREAM_OFFSET+LENGTH@IMAGE_OFFSET" for each run.
std::vector<std::string> RunTexts(const LocatedMft& mft)
{
    std::vector<std::string> texts;
    for (const StreamRun& run : mft.stream->runs()) {
        texts.push_back(std::to_string(run.stream_offset) + "+" + std::to_string(run.length) +
                        (run.sparse ? " sparse" : "@" + std::to_string(run.image_offset)));
    }
    return texts;
}

// The record number that record recno of the $MFT keeps in its header.
std::uint32_t StoredNumber(const LocatedMft& mft, std::uint64_t recno)
{
    unsigned char header[48] = {};
    Diagnostics ignored;
    mft.stream->ReadAt(recno * kRecordSize, header, sizeof header, ignored);
    return ByteReader(header, sizeof header).U32At(44);
}

TEST(MftLocationTest, LaysOutTheMftFromRecordZero)
{
    for (const std::uint64_t volume_offset : {0u, 65536u}) {
        SCOPED_TRACE(volume_offset);
        Bytes image(volume_offset, 0);
        PutBytes(image, volume_offset, SmallVolume(SystemRecords()).bytes());
        const Found found = Locate(image, volume_offset);
        ASSERT_TRUE(found.mft.stream);
        EXPECT_FALSE(found.mft.from_mirror);
        EXPECT_EQ(found.mft.record_size, kRecordSize);
        EXPECT_EQ(found.mft.stream->Size(), kMftBytes);
        EXPECT_EQ(RunTexts(found.mft), std::vector<std::string>{"0+16384@" + std::to_string(volume_offset + 4096)});
        EXPECT_EQ(StoredNumber(found.mft, 13), 13u);
        EXPECT_TRUE(found.diagnostics.empty());
    }
}

TEST(MftLocationTest, TakesRecordZeroFromTheMirrorWhenItCannotBeUsed)
{
    const std::uint64_t record_zero = 4 * 1024;
    const std::uint64_t mirror_zero = (4 + 16) * 1024;
    const struct {
        const char* label;
        std::vector<std::pair<std::uint64_t, Bytes>> damage;  // offset, bytes written there
        bool from_mirror;
    } cases[] = {
        {"record 0 never written", {{record_zero, Bytes(kRecordSize, 0)}}, true},
        {"record 0 torn", {{record_zero + 510, {0x12, 0x34}}}, true},
        {"record 0 without a run list", {{record_zero, MftRecordZero({}, 0).Build()}}, true},
        {"both torn", {{record_zero + 510, {0x12, 0x34}}, {mirror_zero + 510, {0x12, 0x34}}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes image = SmallVolume(SystemRecords()).bytes();
        for (const auto& [offset, bytes] : c.damage) {
            PutBytes(image, offset, bytes);
        }
        const Found found = Locate(image);
        ASSERT_EQ(static_cast<bool>(found.mft.stream), c.from_mirror);
        ASSERT_FALSE(found.diagnostics.empty());
        if (c.from_mirror) {
            EXPECT_TRUE(found.mft.from_mirror);
            EXPECT_EQ(RunTexts(found.mft), std::vector<std::string>{"0+16384@4096"});
            EXPECT_EQ(found.diagnostics[0].text, "Record 0 of the $MFT cannot be used; its copy in $MFTMirr is used.");
        } else {
            EXPECT_EQ(found.diagnostics[found.diagnostics.size() - 1].text,
                      "Neither record 0 of the $MFT nor its copy in $MFTMirr lays out the $MFT.");
        }
    }
}

// A volume of 64 clusters of 1024 bytes whose $MFT of 16 records lies in
// two pieces, records 0 to 7 at cluster 4 and 8 to 15 at cluster 30 (no
// mirror): record 0 and others as given, the system records elsewhere.
Bytes FragmentedVolume(const Bytes& record_zero, const std::map<std::uint64_t, Bytes>& records = {})
{
    MftImage mft = SystemRecords();
    Bytes bytes = mft.bytes();
    PutBytes(bytes, 0, record_zero);
    for (const auto& [recno, record] : records) {
        PutBytes(bytes, recno * kRecordSize, record);
    }
    VolumeImage volume{BootFields()};
    volume.PutClusters(4, Bytes(bytes.begin(), bytes.begin() + 8 * kRecordSize));
    volume.PutClusters(30, Bytes(bytes.begin() + 8 * kRecordSize, bytes.end()));
    return volume.bytes();
}

// Record 0 of the fragmented volume's $MFT: the first piece in its $DATA,
// the rest named by a resident attribute list.
RecordBuilder ListingRecordZero(const std::vector<ListEntry>& entries)
{
    return MftRecordZero({{8, 4}}, kMftBytes).AttributeList(entries);
}

// An extension record of record 0 holding a piece of the $DATA.
Bytes ExtensionWithPiece(const std::vector<RunSpec>& runs, std::uint64_t start_vcn)
{
    return RecordBuilder().BaseRecord(0).HeaderRecno(7).NonResidentAttribute(DataPiece(runs, start_vcn, 0, 1024)).Build();
}

TEST(MftLocationTest, JoinsThePiecesThatTheAttributeListNames)
{
    const std::vector<ListEntry> entries = {{kTypeData, 0, 1, 0, 0}, {kTypeData, 7, 1, 0, 8}};
    NonResidentFields list;
    list.type = kTypeAttributeList;
    list.alloc_size = 1024;
    list.real_size = list.initialized_size = AttributeListValue(entries).size();
    list.run_list = RunListBytes({{1, 50}});
    const Bytes resident = ListingRecordZero(entries).Build();
    const Bytes not_resident = MftRecordZero({{8, 4}}, kMftBytes).NonResidentAttribute(list).Build();
    for (const Bytes* record_zero : {&resident, &not_resident}) {
        SCOPED_TRACE(record_zero == &resident ? "a resident list" : "a list in its own cluster");
        Bytes image = FragmentedVolume(*record_zero, {{7, ExtensionWithPiece({{8, 30}}, 8)}});
        PutBytes(image, 50 * 1024, AttributeListValue(entries));
        const Found found = Locate(image);
        ASSERT_TRUE(found.mft.stream);
        EXPECT_EQ(RunTexts(found.mft), (std::vector<std::string>{"0+8192@4096", "8192+8192@30720"}));
        EXPECT_EQ(StoredNumber(found.mft, 13), 13u);
        EXPECT_TRUE(found.diagnostics.empty());
    }
}

TEST(MftLocationTest, EndsWithWhatHostileLayoutsAllow)
{
    const std::vector<ListEntry> second_piece = {{kTypeData, 7, 1, 0, 8}};
    const std::uint64_t far_cluster = std::uint64_t{1} << 59;
    const struct {
        const char* label;
        Bytes record_zero;
        std::map<std::uint64_t, Bytes> records;
        std::vector<std::string> runs;  // none: no stream
        std::vector<wxString> lines;
        std::uint64_t lost = 0;  // records the layout loses
    } cases[] = {
        {"runs that lay the $MFT on the same clusters twice", MftRecordZero({{8, 4}, {8, 4}}, kMftBytes).Build(), {},
         {"0+8192@4096", "8192+8192@4096"}, {}},
        {"a run back over the boot sector", MftRecordZero({{8, 4}, {8, 0}}, kMftBytes).Build(), {},
         {"0+8192@4096", "8192+8192@0"}, {}},
        {"an extension piece on the first piece's clusters, its record listing record 0 again",
         ListingRecordZero({{kTypeData, 7, 1, 0, 8}, {kTypeData, 7, 1, 0, 8}, {kTypeData, 0, 1, 0, 0}}).Build(),
         {{7, RecordBuilder().BaseRecord(0).AttributeList({{kTypeData, 0}, {kTypeData, 7}})
                  .NonResidentAttribute(DataPiece({{8, 4}}, 8, 0, 1024)).Build()}},
         {"0+8192@4096", "8192+8192@4096"}, {}},
        {"an extension record in the part not found yet", ListingRecordZero({{kTypeData, 12, 1, 0, 8}}).Build(),
         {{12, ExtensionWithPiece({{8, 30}}, 8)}}, {"0+8192@4096"},
         {"Extension record 12 of the $MFT lies outside the part of the $MFT found so far."}, 8},
        {"a piece that leaves a gap: the records there are lost, not those after it", ListingRecordZero(second_piece).Build(),
         {{7, ExtensionWithPiece({{7, 30}}, 9)}}, {"0+8192@4096", "9216+7168@30720"},
         {"The $MFT's run list has a gap at cluster 8 of the $MFT."}, 1},
        {"two pieces from the same cluster: the first kept, the one after them joined",
         ListingRecordZero({{kTypeData, 6, 1, 0, 0}, {kTypeData, 7, 1, 0, 12}}).Build(),
         {{6, ExtensionWithPiece({{4, 40}}, 0)}, {7, ExtensionWithPiece({{4, 34}}, 12)}},
         {"0+8192@4096", "12288+4096@34816"},
         {"The $MFT's run list lays out cluster 0 of the $MFT twice; the first run is kept.",
          "The $MFT's run list has a gap at cluster 8 of the $MFT."}, 4},
        {"a bad pair after the first run",
         MftRecordZero([] {
             NonResidentFields data = DataPiece({{16, 4}}, 0, kMftBytes, 1024);
             data.run_list = {0x11, 0x08, 0x04, 0x19, 0x00};
             return data;
         }()).Build(),
         {}, {"0+8192@4096"}, {"The run list holds a bad pair at byte 3."}, 8},
        {"a run past any image", MftRecordZero({{16, static_cast<std::int64_t>(far_cluster)}}, kMftBytes).Build(), {},
         {}, {"The $MFT's run list names clusters past any image."}},
        {"a run whose bytes lie past any offset in the $MFT",
         MftRecordZero({{16, 4}, {far_cluster, 0, true}}, kMftBytes).Build(), {}, {},
         {"The $MFT's run list names clusters past any image."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Found found = Locate(FragmentedVolume(c.record_zero, c.records));
        ASSERT_EQ(static_cast<bool>(found.mft.stream), !c.runs.empty());
        if (found.mft.stream) {
            EXPECT_EQ(RunTexts(found.mft), c.runs);
            EXPECT_EQ(Texts(found.diagnostics), c.lines);
            EXPECT_EQ(found.mft.lost.count(), c.lost);
        } else {
            ASSERT_GE(found.diagnostics.size(), 2u);
            EXPECT_EQ(found.diagnostics[0].text, c.lines[0]);
        }
    }
}

// A size beyond the volume is bounded to it; a sparse run's records are lost,
// not zeros; bytes never written read as zeros, as far as the image reaches.
TEST(MftLocationTest, ReadsNoMoreOfTheMftThanTheImageHolds)
{
    constexpr std::uint64_t kVast = std::uint64_t{1} << 40;
    NonResidentFields sparse = DataPiece({{16, 4}, {std::uint64_t{1} << 30, 0, true}}, 0, kVast, 1024);
    NonResidentFields unwritten = DataPiece({{std::uint64_t{1} << 30, 4}}, 0, kVast, 1024);
    unwritten.initialized_size = kMftBytes;
    for (const NonResidentFields* data : {&sparse, &unwritten}) {
        SCOPED_TRACE(data == &sparse ? "a vast sparse run" : "a vast run, little of it written");
        const Bytes image = FragmentedVolume(MftRecordZero(*data).Build());
        const Found found = Locate(image);
        ASSERT_TRUE(found.mft.stream);
        EXPECT_EQ(found.mft.stream->Size(), image.size() / kRecordSize * kRecordSize);
        EXPECT_EQ(found.mft.lost.count(), data == &sparse ? 48u : 0u);  // records 16 to 63: sparse
        EXPECT_EQ(Texts(found.diagnostics),
                  std::vector<wxString>{"The $MFT's size of 1099511627776 bytes is more than its volume holds; "
                                        "only its first 65536 bytes are read."});
    }
}

}  // namespace
}  // namespace varneth_test
