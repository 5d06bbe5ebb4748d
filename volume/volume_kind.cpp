#include "volume/volume_kind.h"

#include "mft/byte_reader.h"
#include "volume/boot_sector.h"

namespace {

// The first sector and the ext superblock after it.
constexpr std::size_t kHeadBytes = 2048;
constexpr std::uint64_t kExtSuperblock = 1024;
constexpr std::uint16_t kExtMagic = 0xEF53;
constexpr std::uint16_t kEndMarkValue = 0xAA55;

// A FAT boot sector: a jump, a sane geometry and the end mark; the FAT's
// width follows from its count of clusters, as the file system's own code
// decides it (the type text in the sector is only a label).
VolumeKind FatKind(ByteReader head)
{
    const std::uint8_t jump = head.U8At(0);
    const std::uint32_t bytes_per_sector = head.U16At(0x0B);
    const std::uint32_t sectors_per_cluster = head.U8At(0x0D);
    const std::uint32_t reserved = head.U16At(0x0E);
    const std::uint32_t fats = head.U8At(0x10);
    const std::uint32_t root_entries = head.U16At(0x11);
    const std::uint32_t small_total = head.U16At(0x13);
    const std::uint32_t small_fat = head.U16At(0x16);
    const std::uint32_t large_total = head.U32At(0x20);
    const std::uint32_t large_fat = head.U32At(0x24);
    if (!head.ok() || (jump != 0xEB && jump != 0xE9) || head.U16At(510) != kEndMarkValue ||
        !IsPowerOfTwo(bytes_per_sector) || bytes_per_sector < 512 || bytes_per_sector > 4096 ||
        !IsPowerOfTwo(sectors_per_cluster) || reserved == 0 || fats == 0 || fats > 4) {
        return VolumeKind::kUnknown;
    }
    const std::uint64_t total = small_total != 0 ? small_total : large_total;
    const std::uint64_t fat_sectors = small_fat != 0 ? small_fat : large_fat;
    const std::uint64_t root_sectors = (std::uint64_t{root_entries} * 32 + bytes_per_sector - 1) / bytes_per_sector;
    const std::uint64_t meta = reserved + fats * fat_sectors + root_sectors;
    if (fat_sectors == 0 || total <= meta) {
        return VolumeKind::kUnknown;
    }
    const std::uint64_t clusters = (total - meta) / sectors_per_cluster;
    if (small_fat == 0) {
        return VolumeKind::kFat32;
    }
    return clusters < 4085 ? VolumeKind::kFat12 : clusters < 65525 ? VolumeKind::kFat16 : VolumeKind::kFat32;
}

// ext2, or ext3 with a journal, or ext4 with extents, 64-bit block numbers
// or flexible block groups.
VolumeKind ExtKind(ByteReader head)
{
    ByteReader superblock = head.SubReader(kExtSuperblock, kHeadBytes - kExtSuperblock);
    if (superblock.U16At(0x38) != kExtMagic || !superblock.ok()) {
        return VolumeKind::kUnknown;
    }
    const std::uint32_t compat = superblock.U32At(0x5C);
    const std::uint32_t incompat = superblock.U32At(0x60);
    if ((incompat & (0x40 | 0x80 | 0x200)) != 0) {
        return VolumeKind::kExt4;
    }
    return (compat & 0x4) != 0 ? VolumeKind::kExt3 : VolumeKind::kExt2;
}

}  // namespace

VolumeKind DetectVolumeKind(const ImageReader& image, std::uint64_t offset)
{
    if (offset >= image.Size()) {
        return VolumeKind::kPastImage;
    }
    unsigned char bytes[kHeadBytes] = {};
    Diagnostics unread;
    const long long got = image.ReadAt(offset, bytes, sizeof bytes, unread);
    if (got < 512) {
        return VolumeKind::kUnknown;
    }
    const ByteReader head(bytes, static_cast<std::size_t>(got));
    if (LooksLikeNtfsBootSector(head)) {
        return VolumeKind::kNtfs;
    }
    if (HasOemId(head, "-FVE-FS-")) {
        return VolumeKind::kBitLocker;
    }
    if (HasOemId(head, "EXFAT   ")) {
        return VolumeKind::kExFat;
    }
    if (const VolumeKind ext = ExtKind(head); ext != VolumeKind::kUnknown) {
        return ext;
    }
    return FatKind(head);
}

bool IsBitLockerAt(const ImageReader& image, std::uint64_t offset)
{
    unsigned char sector[512] = {};
    Diagnostics unread;
    return image.ReadWhole(offset, sector, sizeof sector, unread) &&
           HasOemId(ByteReader(sector, sizeof sector), "-FVE-FS-");
}

wxString VolumeKindText(VolumeKind kind)
{
    switch (kind) {
    case VolumeKind::kNtfs:
        return wxS("NTFS");
    case VolumeKind::kBitLocker:
        return wxS("BitLocker-encrypted");
    case VolumeKind::kFat12:
        return wxS("FAT12");
    case VolumeKind::kFat16:
        return wxS("FAT16");
    case VolumeKind::kFat32:
        return wxS("FAT32");
    case VolumeKind::kExFat:
        return wxS("exFAT");
    case VolumeKind::kExt2:
        return wxS("ext2");
    case VolumeKind::kExt3:
        return wxS("ext3");
    case VolumeKind::kExt4:
        return wxS("ext4");
    case VolumeKind::kPastImage:
        return wxS("past the end of the image");
    case VolumeKind::kUnknown:
        break;
    }
    return wxS("unknown");
}
