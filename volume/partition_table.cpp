#include "volume/partition_table.h"

#include <cstring>
#include <set>

#include "mft/byte_reader.h"

namespace {

constexpr std::uint64_t kMbrEntries = 0x1BE;
constexpr std::uint64_t kMbrEntrySize = 16;
constexpr std::uint16_t kEndMarkValue = 0xAA55;
constexpr std::uint8_t kProtectiveType = 0xEE;
constexpr unsigned kMostLogicalVolumes = 256;  // a chain longer than this is damaged, or made to loop
constexpr std::uint32_t kMostGptEntries = 4096;
constexpr unsigned char kGptSignature[8] = {'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T'};

bool IsExtended(std::uint8_t type)
{
    return type == 0x05 || type == 0x0F || type == 0x85;
}

struct MbrEntry {
    std::uint8_t status = 0;
    std::uint8_t type = 0;
    std::uint32_t first_sector = 0;
    std::uint32_t sectors = 0;
};

MbrEntry EntryAt(ByteReader& sector, unsigned index)
{
    const std::uint64_t at = kMbrEntries + index * kMbrEntrySize;
    MbrEntry entry;
    entry.status = sector.U8At(at);
    entry.type = sector.U8At(at + 4);
    entry.first_sector = sector.U32At(at + 8);
    entry.sectors = sector.U32At(at + 12);
    return entry;
}

// A sector 0 whose entries could be a partition table: the end mark, and
// every status byte 0x00 or 0x80 (boot code in an NTFS or FAT boot sector
// rarely passes both).
bool IsMbr(ByteReader sector)
{
    if (sector.U16At(510) != kEndMarkValue || !sector.ok()) {
        return false;
    }
    bool any = false;
    for (unsigned i = 0; i < 4; ++i) {
        const MbrEntry entry = EntryAt(sector, i);
        if (entry.status != 0x00 && entry.status != 0x80) {
            return false;
        }
        any = any || (entry.type != 0 && entry.sectors != 0);
    }
    return any;
}

Partition MakePartition(std::uint64_t first_sector, std::uint64_t sectors, std::uint32_t sector_size,
                        const wxString& entry)
{
    Partition partition;
    partition.offset = first_sector * sector_size;
    partition.size = sectors * sector_size;
    partition.sector_size = sector_size;
    partition.entry = entry;
    return partition;
}

// The logical volumes: each extended boot record holds the volume (relative
// to itself) and the next record (relative to the extended partition).
void ReadLogicalVolumes(const ImageReader& image, std::uint64_t extended_start, PartitionTable& table,
                        Diagnostics& diagnostics)
{
    std::set<std::uint64_t> seen;
    std::uint64_t record = extended_start;
    unsigned char bytes[512];
    for (unsigned count = 0; count < kMostLogicalVolumes; ++count) {
        if (!seen.insert(record).second) {
            diagnostics.Warning(wxS("The chain of logical volumes loops back on itself; it is read up to there."));
            return;
        }
        Diagnostics unread;
        if (!image.ReadWhole(record * 512, bytes, sizeof bytes, unread)) {
            // A cut image: the volumes it lost are said on every run.
            diagnostics.ShownWarning(wxS("The chain of logical volumes runs past the end of the image."));
            return;
        }
        ByteReader sector(bytes, sizeof bytes);
        if (sector.U16At(510) != kEndMarkValue) {
            return;
        }
        const MbrEntry volume = EntryAt(sector, 0);
        const MbrEntry next = EntryAt(sector, 1);
        if (volume.type != 0 && volume.sectors != 0) {
            table.partitions.push_back(MakePartition(record + volume.first_sector, volume.sectors, 512,
                                                     wxString::Format(wxS("MBR logical %u"), count + 1)));
        }
        if (!IsExtended(next.type) || next.sectors == 0) {
            return;
        }
        record = extended_start + next.first_sector;
    }
    diagnostics.Warning(wxS("The chain of logical volumes is too long; it is read up to there."));
}

// The GPT header at LBA 1 of the sector size, and its entry array.
bool ReadGpt(const ImageReader& image, std::uint32_t sector_size, PartitionTable& table, Diagnostics& diagnostics)
{
    std::vector<unsigned char> header(sector_size);
    Diagnostics unread;
    if (!image.ReadWhole(sector_size, header.data(), header.size(), unread)) {
        return false;
    }
    ByteReader reader(header.data(), header.size());
    unsigned char signature[8] = {};
    if (!reader.CopyBytesAt(0, signature, sizeof signature) ||
        std::memcmp(signature, kGptSignature, sizeof signature) != 0) {
        return false;
    }
    const std::uint64_t entries_lba = reader.U64At(0x48);
    const std::uint32_t entry_count = reader.U32At(0x50);
    const std::uint32_t entry_size = reader.U32At(0x54);
    table.scheme = PartitionScheme::kGpt;
    if (entry_size < 128 || entry_size > 4096 || entry_count > kMostGptEntries ||
        entries_lba > image.Size() / sector_size) {
        diagnostics.Warning(wxS("The GPT header's partition entries cannot be read."));
        return true;
    }
    if (entry_count == 0) {
        return true;  // a table without partitions; no read of nothing
    }
    std::vector<unsigned char> entries(std::size_t{entry_count} * entry_size);
    const long long got = image.ReadAt(entries_lba * sector_size, entries.data(), entries.size(), unread);
    if (got < 0 || static_cast<std::size_t>(got) < entries.size()) {
        diagnostics.Warning(wxS("The GPT's partition entries run past the end of the image; those before it are read."));
        entries.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    }
    ByteReader array(entries.data(), entries.size());
    for (std::uint32_t i = 0; i < entry_count && array.Fits(std::uint64_t{i} * entry_size, entry_size); ++i) {
        ByteReader entry = array.SubReader(std::uint64_t{i} * entry_size, entry_size);
        const bool used = entry.U64At(0) != 0 || entry.U64At(8) != 0;  // the type GUID
        const std::uint64_t first = entry.U64At(32);
        const std::uint64_t last = entry.U64At(40);
        if (used && last >= first && last < (std::uint64_t{1} << 52) / sector_size) {
            table.partitions.push_back(
                MakePartition(first, last - first + 1, sector_size, wxString::Format(wxS("GPT entry %u"), i + 1)));
        }
    }
    return true;
}

}  // namespace

PartitionTable ReadPartitionTable(const ImageReader& image, Diagnostics& diagnostics)
{
    PartitionTable table;
    unsigned char bytes[512];
    Diagnostics unread;
    if (!image.ReadWhole(0, bytes, sizeof bytes, unread)) {
        return table;
    }
    ByteReader sector(bytes, sizeof bytes);
    if (!IsMbr(sector)) {
        // A GPT whose protective MBR was wiped still lists the partitions.
        for (const std::uint32_t sector_size : {512u, 4096u}) {
            Diagnostics gpt_lines;
            if (ReadGpt(image, sector_size, table, gpt_lines)) {
                diagnostics.Warning(wxS("Sector 0 holds no protective MBR; the GPT header behind it is read."));
                diagnostics.Append(gpt_lines);
                return table;
            }
        }
        return table;
    }
    for (unsigned i = 0; i < 4; ++i) {
        if (EntryAt(sector, i).type == kProtectiveType) {
            for (const std::uint32_t sector_size : {512u, 4096u}) {
                if (ReadGpt(image, sector_size, table, diagnostics)) {
                    return table;
                }
            }
            diagnostics.Warning(wxS("The protective MBR leads to no GPT header."));
            return table;
        }
    }
    table.scheme = PartitionScheme::kMbr;
    for (unsigned i = 0; i < 4; ++i) {
        const MbrEntry entry = EntryAt(sector, i);
        if (entry.type == 0 || entry.sectors == 0) {
            continue;
        }
        if (IsExtended(entry.type)) {
            ReadLogicalVolumes(image, entry.first_sector, table, diagnostics);
        } else {
            table.partitions.push_back(
                MakePartition(entry.first_sector, entry.sectors, 512, wxString::Format(wxS("MBR entry %u"), i + 1)));
        }
    }
    return table;
}
