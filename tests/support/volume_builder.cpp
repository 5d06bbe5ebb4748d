#include "support/volume_builder.h"

#include <algorithm>

namespace varneth_test {

namespace {

unsigned UnsignedWidth(std::uint64_t value)
{
    unsigned width = 1;
    while (width < 8 && (value >> (8 * width)) != 0) {
        ++width;
    }
    return width;
}

unsigned SignedWidth(std::int64_t value)
{
    unsigned width = 1;
    while (width < 8) {
        const std::int64_t half = std::int64_t{1} << (8 * width - 1);
        if (value >= -half && value < half) {
            break;
        }
        ++width;
    }
    return width;
}

std::uint64_t ClusterCount(const std::vector<RunSpec>& runs)
{
    std::uint64_t clusters = 0;
    for (const RunSpec& run : runs) {
        clusters += run.clusters;
    }
    return clusters;
}

}  // namespace

Bytes BootSectorBytes(const BootFields& fields)
{
    Bytes sector(fields.bytes_per_sector < 512 ? 512 : fields.bytes_per_sector, 0);
    sector[0] = 0xEB;
    sector[1] = 0x52;
    sector[2] = 0x90;
    const char oem[] = "NTFS    ";
    for (int i = 0; i < 8; ++i) {
        sector[3 + i] = static_cast<std::uint8_t>(oem[i]);
    }
    PutLE(sector, 0x0B, fields.bytes_per_sector, 2);
    sector[0x0D] = fields.sectors_per_cluster;
    sector[0x15] = 0xF8;  // a fixed disk
    PutLE(sector, 0x28, fields.total_sectors, 8);
    PutLE(sector, 0x30, fields.mft_cluster, 8);
    PutLE(sector, 0x38, fields.mirror_cluster, 8);
    sector[0x40] = fields.clusters_per_record;
    sector[0x44] = 0x01;  // clusters per index block
    PutLE(sector, 0x48, fields.serial, 8);
    PutLE(sector, 0x1FE, 0xAA55, 2);
    return sector;
}

Bytes RunListBytes(const std::vector<RunSpec>& runs)
{
    Bytes pairs;
    std::int64_t previous_lcn = 0;
    for (const RunSpec& run : runs) {
        const unsigned length_width = UnsignedWidth(run.clusters);
        const std::int64_t step = run.lcn - previous_lcn;
        const unsigned offset_width = run.sparse ? 0 : SignedWidth(step);
        pairs.push_back(static_cast<std::uint8_t>(offset_width << 4 | length_width));
        for (unsigned i = 0; i < length_width; ++i) {
            pairs.push_back(static_cast<std::uint8_t>(run.clusters >> (8 * i)));
        }
        for (unsigned i = 0; i < offset_width; ++i) {
            pairs.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(step) >> (8 * i)));
        }
        if (!run.sparse) {
            previous_lcn = run.lcn;
        }
    }
    pairs.push_back(0x00);
    return pairs;
}

NonResidentFields DataPiece(const std::vector<RunSpec>& runs, std::uint64_t start_vcn, std::uint64_t size,
                            std::uint32_t cluster_size)
{
    NonResidentFields fields;
    const std::uint64_t clusters = ClusterCount(runs);
    fields.start_vcn = start_vcn;
    fields.last_vcn = start_vcn + clusters - 1;
    fields.alloc_size = (start_vcn + clusters) * cluster_size;
    fields.real_size = size;
    fields.initialized_size = size;
    fields.run_list = RunListBytes(runs);
    return fields;
}

void PutBytes(Bytes& image, std::uint64_t offset, const Bytes& bytes)
{
    if (bytes.empty()) {
        return;
    }
    if (offset + bytes.size() > image.size()) {
        image.resize(offset + bytes.size(), 0);
    }
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

VolumeImage::VolumeImage(const BootFields& boot)
    : cluster_size_(boot.bytes_per_sector * boot.sectors_per_cluster),
      bytes_((boot.total_sectors + 1) * boot.bytes_per_sector, 0)
{
    const Bytes sector = BootSectorBytes(boot);
    PutBytes(bytes_, 0, sector);
    PutBytes(bytes_, boot.total_sectors * boot.bytes_per_sector, sector);
}

VolumeImage& VolumeImage::PutClusters(std::uint64_t cluster, const Bytes& bytes)
{
    PutBytes(bytes_, cluster * cluster_size_, bytes);
    return *this;
}

RecordBuilder MftRecordZero(const std::vector<RunSpec>& runs, std::uint64_t size)
{
    return MftRecordZero(DataPiece(runs, 0, size, 1024));
}

RecordBuilder MftRecordZero(const NonResidentFields& data)
{
    const Times times = Times::All(kSomeFiletime);
    RecordBuilder record;
    record.StandardInformation(times, 0x0006).FileName(u"$MFT", kWin32AndDos, 5, times).NonResidentAttribute(data);
    return record;
}

VolumeImage SmallVolume(const MftImage& mft)
{
    constexpr std::uint64_t kMftCluster = 4;
    const std::uint64_t records = mft.RecordCount();
    BootFields boot;
    boot.mft_cluster = kMftCluster;
    boot.mirror_cluster = kMftCluster + records;
    boot.total_sectors = 2 * (boot.mirror_cluster + 4 + 1);
    Bytes bytes = mft.bytes();
    PutBytes(bytes, 0, MftRecordZero({{records, kMftCluster}}, records * kRecordSize).Build());
    VolumeImage volume(boot);
    volume.PutClusters(boot.mft_cluster, bytes);
    volume.PutClusters(boot.mirror_cluster, Bytes(bytes.begin(), bytes.begin() + 4 * kRecordSize));
    return volume;
}

Bytes PiecedVolume(const MftImage& mft, const std::vector<MftPiece>& pieces, const Bytes& bitmap)
{
    constexpr std::uint64_t kClusters = 58;
    Bytes records = mft.bytes();
    RecordBuilder record_zero = MftRecordZero(DataPiece(pieces.front().runs, 0, records.size(), 1024));
    std::vector<ListEntry> entries;
    for (const MftPiece& piece : pieces) {
        entries.push_back({kTypeData, piece.recno, 1, 0, piece.start_vcn});
        PutBytes(records, piece.recno * kRecordSize, RecordBuilder().BaseRecord(0).HeaderRecno(piece.recno)
                                                         .NonResidentAttribute(DataPiece(piece.runs, piece.start_vcn, 0, 1024)).Build());
    }
    if (pieces.size() > 1) {
        record_zero.AttributeList(entries);
    }
    PutBytes(records, 0, (bitmap.empty() ? record_zero : record_zero.ResidentAttribute(0xB0, bitmap)).Build());
    BootFields boot;
    boot.mirror_cluster = kClusters;
    boot.total_sectors = 2 * (kClusters + 4 + 1);
    VolumeImage volume(boot);
    std::vector<bool> placed(mft.RecordCount(), false);
    for (const MftPiece& piece : pieces) {
        std::uint64_t vcn = piece.start_vcn;
        for (const RunSpec& run : piece.runs) {
            for (std::uint64_t lcn = run.lcn; lcn < run.lcn + run.clusters; ++lcn, ++vcn) {
                if (vcn < placed.size() && !placed[vcn] && lcn < kClusters) {
                    placed[vcn] = true;
                    volume.PutClusters(lcn, Bytes(records.begin() + vcn * kRecordSize, records.begin() + (vcn + 1) * kRecordSize));
                }
            }
        }
    }
    volume.PutClusters(kClusters, Bytes(records.begin(), records.begin() + 4 * kRecordSize));
    return volume.bytes();
}

Bytes MbrSector(const std::vector<MbrEntrySpec>& entries)
{
    Bytes sector(512, 0);
    for (std::size_t i = 0; i < entries.size() && i < 4; ++i) {
        const std::size_t at = 0x1BE + 16 * i;
        sector[at + 4] = entries[i].type;
        PutLE(sector, at + 8, entries[i].first_sector, 4);
        PutLE(sector, at + 12, entries[i].sectors, 4);
    }
    PutLE(sector, 510, 0xAA55, 2);
    return sector;
}

Bytes GptHeader(std::uint32_t sector_size, std::uint64_t entries_lba, std::uint32_t count, std::uint32_t entry_size)
{
    Bytes header(sector_size, 0);
    const char signature[] = "EFI PART";
    for (int i = 0; i < 8; ++i) {
        header[i] = static_cast<std::uint8_t>(signature[i]);
    }
    PutLE(header, 0x08, 0x00010000, 4);  // revision 1.0
    PutLE(header, 0x0C, 92, 4);          // header size
    PutLE(header, 0x18, 1, 8);           // this header's LBA
    PutLE(header, 0x48, entries_lba, 8);
    PutLE(header, 0x50, count, 4);
    PutLE(header, 0x54, entry_size, 4);
    return header;
}

Bytes GptEntries(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges, std::uint32_t entry_size)
{
    Bytes entries(ranges.size() * entry_size, 0);
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const std::size_t at = i * entry_size;
        PutLE(entries, at, 0xEBD0A0A2B9E5443Full, 8);  // a basic data partition's type, in part
        PutLE(entries, at + 8, 0x87C068B6B72699C7ull, 8);
        PutLE(entries, at + 32, ranges[i].first, 8);
        PutLE(entries, at + 40, ranges[i].second, 8);
    }
    return entries;
}

}  // namespace varneth_test
