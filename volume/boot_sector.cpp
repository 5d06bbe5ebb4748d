#include "volume/boot_sector.h"

#include <cstring>

namespace {

namespace field {
constexpr std::uint64_t kOemId = 3;
constexpr std::uint64_t kBytesPerSector = 0x0B;
constexpr std::uint64_t kSectorsPerCluster = 0x0D;
constexpr std::uint64_t kHiddenSectors = 0x1C;
constexpr std::uint64_t kTotalSectors = 0x28;
constexpr std::uint64_t kMftCluster = 0x30;
constexpr std::uint64_t kMftMirrorCluster = 0x38;
constexpr std::uint64_t kClustersPerRecord = 0x40;
constexpr std::uint64_t kSerial = 0x48;
constexpr std::uint64_t kEndMark = 0x1FE;
}  // namespace field

constexpr std::uint16_t kEndMarkValue = 0xAA55;
constexpr std::uint64_t kLargestCluster = std::uint64_t{2} << 20;

// A size given as a count of units, or, when the byte is above 0x80, as a
// negative power of two (large clusters and records smaller than a cluster).
std::uint64_t SizeOf(std::uint8_t code, std::uint64_t unit)
{
    if (code <= 0x80) {
        return code * unit;
    }
    const unsigned shift = 256u - code;
    return shift < 32 ? std::uint64_t{1} << shift : 0;
}

}  // namespace

bool HasOemId(ByteReader sector, const char (&id)[9])
{
    unsigned char bytes[8] = {};
    return sector.CopyBytesAt(field::kOemId, bytes, sizeof bytes) && std::memcmp(bytes, id, sizeof bytes) == 0;
}

bool IsPowerOfTwo(std::uint64_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

bool LooksLikeNtfsBootSector(ByteReader sector)
{
    return HasOemId(sector, "NTFS    ") && sector.U16At(field::kEndMark) == kEndMarkValue && sector.ok();
}

std::optional<NtfsBootSector> DecodeNtfsBootSector(ByteReader sector)
{
    if (!LooksLikeNtfsBootSector(sector)) {
        return std::nullopt;
    }
    NtfsBootSector boot;
    boot.bytes_per_sector = sector.U16At(field::kBytesPerSector);
    const std::uint8_t sectors_per_cluster = sector.U8At(field::kSectorsPerCluster);
    const std::uint64_t cluster_size = sectors_per_cluster <= 0x80
                                           ? std::uint64_t{sectors_per_cluster} * boot.bytes_per_sector
                                           : SizeOf(sectors_per_cluster, 1) * boot.bytes_per_sector;
    boot.total_sectors = sector.U64At(field::kTotalSectors);
    boot.mft_cluster = sector.U64At(field::kMftCluster);
    boot.mft_mirror_cluster = sector.U64At(field::kMftMirrorCluster);
    const std::uint64_t record_size = SizeOf(sector.U8At(field::kClustersPerRecord), cluster_size);
    boot.serial = sector.U64At(field::kSerial);
    boot.hidden_sectors = sector.U32At(field::kHiddenSectors);
    if (!sector.ok() || !IsPowerOfTwo(boot.bytes_per_sector) || boot.bytes_per_sector < 256 ||
        boot.bytes_per_sector > 4096 || !IsPowerOfTwo(cluster_size) || cluster_size > kLargestCluster ||
        !IsPowerOfTwo(record_size) || record_size < 256 || record_size > 65536 || boot.total_sectors == 0 ||
        boot.total_sectors > (std::uint64_t{1} << 48)) {
        return std::nullopt;
    }
    boot.cluster_size = static_cast<std::uint32_t>(cluster_size);
    boot.record_size = static_cast<std::uint32_t>(record_size);
    const std::uint64_t clusters = boot.VolumeBytes() / cluster_size;
    if (boot.mft_cluster >= clusters || boot.mft_mirror_cluster >= clusters) {
        return std::nullopt;
    }
    return boot;
}

std::optional<NtfsBootSector> ReadNtfsBootSector(const ImageReader& image, std::uint64_t offset)
{
    unsigned char sector[512];
    Diagnostics unread;
    if (!image.ReadWhole(offset, sector, sizeof sector, unread)) {
        return std::nullopt;
    }
    return DecodeNtfsBootSector(ByteReader(sector, sizeof sector));
}
