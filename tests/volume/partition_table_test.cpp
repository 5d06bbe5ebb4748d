// Partition tables read from disk images in memory: MBR primaries, the
// extended chain (also one that loops or runs off the image), and GPT in
// 512- and 4096-byte sectors, also with entry counts and sizes no table has.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/diagnostic_texts.h"
#include "support/memory_image.h"
#include "support/volume_builder.h"
#include "volume/partition_table.h"

namespace varneth_test {
namespace {

// "ENTRY: OFFSET+SIZE/SECTOR" for each partition.
std::vector<std::string> PartitionTexts(const PartitionTable& table)
{
    std::vector<std::string> texts;
    for (const Partition& partition : table.partitions) {
        texts.push_back(partition.entry.ToStdString() + ": " + std::to_string(partition.offset) + "+" +
                        std::to_string(partition.size) + "/" + std::to_string(partition.sector_size));
    }
    return texts;
}

PartitionTable Read(const Bytes& disk, Diagnostics& diagnostics)
{
    return ReadPartitionTable(MemoryImage(disk), diagnostics);
}

// An extended boot record: a logical volume (relative to the record) and
// the next record (relative to the extended partition), when given.
Bytes Ebr(std::uint32_t volume_start, std::uint32_t volume_sectors, std::uint32_t next_start = 0)
{
    std::vector<MbrEntrySpec> entries = {{0x07, volume_start, volume_sectors}};
    if (next_start != 0) {
        entries.push_back({0x05, next_start, 100});
    }
    return MbrSector(entries);
}

TEST(PartitionTableTest, ReadsMbrPrimariesAndTheLogicalVolumes)
{
    Bytes disk = MbrSector({{0x07, 63, 100}, {0x05, 1000, 5000}, {}, {0x83, 8192, 16}});
    PutBytes(disk, 1000 * 512, Ebr(63, 200, 500));
    PutBytes(disk, 1500 * 512, Ebr(63, 100));
    Diagnostics diagnostics;
    const PartitionTable table = Read(disk, diagnostics);
    EXPECT_EQ(table.scheme, PartitionScheme::kMbr);
    EXPECT_EQ(PartitionTexts(table), (std::vector<std::string>{
                                         "MBR entry 1: 32256+51200/512", "MBR logical 1: 544256+102400/512",
                                         "MBR logical 2: 800256+51200/512", "MBR entry 4: 4194304+8192/512"}));
    EXPECT_TRUE(diagnostics.empty());
}

TEST(PartitionTableTest, EndsAnExtendedChainThatLoopsOrLeavesTheImage)
{
    const std::string loops = "The chain of logical volumes loops back on itself; it is read up to there.";
    const std::string past_end = "The chain of logical volumes runs past the end of the image.";
    const struct {
        const char* label;
        std::vector<std::pair<std::uint32_t, Bytes>> records;  // sector, record
        std::size_t logicals;
        std::string warning;
    } cases[] = {
        // The next record's offset 0: the extended partition's first record again.
        {"a record that names itself", {{1000, MbrSector({{0x07, 63, 10}, {0x05, 0, 1}})}}, 1, loops},
        {"two records that name each other", {{1000, Ebr(63, 10, 200)}, {1200, MbrSector({{0x07, 63, 10}, {0x05, 0, 1}})}},
         2, loops},
        {"a next record past the image", {{1000, Ebr(63, 10, 90000)}}, 1, past_end},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes disk = MbrSector({{0x0F, 1000, 100000}});
        for (const auto& [sector, record] : c.records) {
            PutBytes(disk, std::uint64_t{sector} * 512, record);
        }
        Diagnostics diagnostics;
        const PartitionTable table = Read(disk, diagnostics);
        EXPECT_EQ(table.partitions.size(), c.logicals);
        EXPECT_EQ(Texts(diagnostics), std::vector<wxString>{c.warning});
    }
}

TEST(PartitionTableTest, StopsAChainOfTooManyRecords)
{
    Bytes disk = MbrSector({{0x05, 1, 1000}});
    for (std::uint32_t i = 0; i < 300; ++i) {
        PutBytes(disk, (1 + i) * 512, Ebr(1, 1, i + 1));  // each record names the sector after it
    }
    Diagnostics diagnostics;
    const PartitionTable table = Read(disk, diagnostics);
    EXPECT_EQ(table.partitions.size(), 256u);
    EXPECT_EQ(Texts(diagnostics),
              std::vector<wxString>{"The chain of logical volumes is too long; it is read up to there."});
}

// A protective MBR and a GPT header at LBA 1 of sector_size bytes.
Bytes GptDisk(std::uint32_t sector_size, std::uint64_t entries_lba, std::uint32_t count, std::uint32_t entry_size,
              const Bytes& entries)
{
    Bytes disk = MbrSector({{0xEE, 1, 0xFFFFFFFF}});
    PutBytes(disk, sector_size, GptHeader(sector_size, entries_lba, count, entry_size));
    PutBytes(disk, entries_lba * sector_size, entries);
    return disk;
}

TEST(PartitionTableTest, ReadsGptInEitherSectorSize)
{
    Bytes entries = GptEntries({{64, 127}, {128, 255}});
    entries.resize(4 * 128, 0);  // two entries not used
    for (const std::uint32_t sector_size : {512u, 4096u}) {
        SCOPED_TRACE(sector_size);
        Diagnostics diagnostics;
        const PartitionTable table = Read(GptDisk(sector_size, 2, 4, 128, entries), diagnostics);
        EXPECT_EQ(table.scheme, PartitionScheme::kGpt);
        const auto text = [sector_size](int entry, std::uint64_t lba) {
            return "GPT entry " + std::to_string(entry) + ": " + std::to_string(lba * sector_size) + "+" +
                   std::to_string(lba * sector_size) + "/" + std::to_string(sector_size);
        };
        EXPECT_EQ(PartitionTexts(table), (std::vector<std::string>{text(1, 64), text(2, 128)}));
        EXPECT_TRUE(diagnostics.empty());
    }
    Bytes wiped_mbr = GptDisk(512, 2, 4, 128, entries);  // still read, and said
    PutBytes(wiped_mbr, 0, Bytes(512, 0));
    Diagnostics diagnostics;
    EXPECT_EQ(Read(wiped_mbr, diagnostics).partitions.size(), 2u);
    EXPECT_EQ(Texts(diagnostics),
              std::vector<wxString>{"Sector 0 holds no protective MBR; the GPT header behind it is read."});
}

TEST(PartitionTableTest, ReadsWhatAHostileGptHeaderAllows)
{
    const std::string unreadable = "The GPT header's partition entries cannot be read.";
    const std::string cut = "The GPT's partition entries run past the end of the image; those before it are read.";
    const Bytes one = GptEntries({{64, 127}});
    const Bytes wide = GptEntries({{64, 127}}, 4096);
    const struct {
        const char* label;
        std::uint64_t entries_lba;
        std::uint32_t count;
        std::uint32_t entry_size;
        Bytes entries;
        std::size_t partitions;
        std::string warning;
    } cases[] = {
        {"no entries", 2, 0, 128, one, 0, ""},
        {"entries of 4096 bytes", 2, 1, 4096, wide, 1, ""},
        {"entries of 64 bytes", 2, 1, 64, one, 0, unreadable},
        {"entries of 8192 bytes", 2, 1, 8192, one, 0, unreadable},
        {"4097 entries", 2, 4097, 128, one, 0, unreadable},
        {"entries past the image", 1u << 30, 1, 128, {}, 0, unreadable},
        {"4096 entries, most past the image", 2, 4096, 128, one, 1, cut},
        {"the most entries of the largest size", 2, 4096, 4096, wide, 1, cut},
        {"an entry that ends before it starts", 2, 1, 128, GptEntries({{64, 63}}), 0, ""},
        {"an entry past 2^52 bytes", 2, 1, 128, GptEntries({{64, std::uint64_t{1} << 43}}), 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Diagnostics diagnostics;
        const PartitionTable table = Read(GptDisk(512, c.entries_lba, c.count, c.entry_size, c.entries), diagnostics);
        EXPECT_EQ(table.scheme, PartitionScheme::kGpt);
        EXPECT_EQ(table.partitions.size(), c.partitions);
        EXPECT_EQ(Texts(diagnostics), c.warning.empty() ? std::vector<wxString>{} : std::vector<wxString>{c.warning});
    }
}

TEST(PartitionTableTest, FindsNoTableWhereSectorZeroHoldsNone)
{
    Bytes bad_status = MbrSector({{0x07, 63, 100}});
    bad_status[0x1BE] = 0x12;
    Bytes no_end_mark = MbrSector({{0x07, 63, 100}});
    no_end_mark[510] = 0;
    const struct {
        const char* label;
        Bytes disk;
        std::vector<wxString> lines;
    } cases[] = {
        {"no entries", MbrSector({}), {}},
        {"a status byte that is not 0x00 or 0x80", bad_status, {}},
        {"no end mark", no_end_mark, {}},
        {"an image shorter than a sector", Bytes(100, 0), {}},
        {"a protective MBR with no GPT header", MbrSector({{0xEE, 1, 0xFFFFFFFF}}),
         {"The protective MBR leads to no GPT header."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Diagnostics diagnostics;
        const PartitionTable table = Read(c.disk, diagnostics);
        EXPECT_EQ(table.scheme, PartitionScheme::kNone);
        EXPECT_TRUE(table.partitions.empty());
        EXPECT_EQ(Texts(diagnostics), c.lines);
    }
}

}  // namespace
}  // namespace varneth_test
