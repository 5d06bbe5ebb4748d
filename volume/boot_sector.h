#ifndef VARNETH_VOLUME_BOOT_SECTOR_H
#define VARNETH_VOLUME_BOOT_SECTOR_H

// The NTFS boot sector: the first sector of a volume (and its copy in the
// volume's last sector), which tells the geometry and where the $MFT and
// its mirror start.

#include <cstdint>
#include <optional>

#include "image/image_reader.h"
#include "mft/byte_reader.h"

struct NtfsBootSector {
    std::uint32_t bytes_per_sector = 0;
    std::uint32_t cluster_size = 0;      // bytes
    std::uint64_t total_sectors = 0;     // of the volume, the backup boot sector not counted
    std::uint64_t mft_cluster = 0;       // the $MFT's first cluster
    std::uint64_t mft_mirror_cluster = 0;
    std::uint32_t record_size = 0;       // bytes of a FILE record
    std::uint64_t serial = 0;
    std::uint32_t hidden_sectors = 0;    // where the volume was made to start on its disk, in its sectors

    std::uint64_t VolumeBytes() const { return total_sectors * bytes_per_sector; }
};

// The 8-byte name at byte 3 of a volume's first sector: "NTFS    ", and
// those of other volumes ("-FVE-FS-", "EXFAT   ").
bool HasOemId(ByteReader sector, const char (&id)[9]);

// Sector, cluster and record sizes are powers of two.
bool IsPowerOfTwo(std::uint64_t value);

// "NTFS    " at byte 3 and 0x55AA at byte 510: an NTFS boot sector, whether
// or not its fields can be used.
bool LooksLikeNtfsBootSector(ByteReader sector);

// The fields of an NTFS boot sector, or none when they cannot describe a
// volume: sector size not a power of two from 256 to 4096, cluster size not
// a power of two up to 2 MiB, record size not a power of two from 256 to
// 64 KiB, no sectors, or a $MFT or mirror cluster past the volume's end.
std::optional<NtfsBootSector> DecodeNtfsBootSector(ByteReader sector);

// The boot sector at offset of image, when its fields describe a volume.
std::optional<NtfsBootSector> ReadNtfsBootSector(const ImageReader& image, std::uint64_t offset);

#endif
