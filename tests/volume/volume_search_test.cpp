// Volumes of images without a partition table, found by their boot sectors
// (and at what cost on a huge image), the kinds of a table's other
// partitions, and the volume at an offset given.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/memory_image.h"
#include "support/volume_builder.h"
#include "volume/volume_input.h"
#include "volume/volume_search.h"

namespace varneth_test {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;

// A volume of sectors of 512 bytes (128 unless told) and its backup boot sector.
Bytes Volume(std::uint64_t serial, std::uint32_t hidden_sectors = 0, std::uint64_t sectors = 128)
{
    BootFields boot;
    boot.serial = serial;
    boot.total_sectors = sectors;
    Bytes volume = VolumeImage(boot).bytes();
    for (const std::uint64_t at : {std::uint64_t{0}, sectors * 512}) {
        PutLE(volume, at + 0x1C, hidden_sectors, 4);
    }
    return volume;
}

// "OFFSET SERIAL how[, backup used at N]" for each volume.
std::vector<std::string> Texts(const std::vector<NtfsVolume>& volumes)
{
    std::vector<std::string> texts;
    for (const NtfsVolume& volume : volumes) {
        std::string text = std::to_string(volume.offset) + " " + std::to_string(volume.boot.serial) + " " +
                           volume.found.ToStdString();
        if (volume.backup_boot_sector) {
            text += ", backup used at " + std::to_string(volume.boot_sector_offset);
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(VolumeSearchTest, FindsVolumesByTheirBootSectorsAndBackups)
{
    const std::string by_backup = " found by its backup boot sector";
    const std::string by_boot = " found by its boot sector";
    const std::uint64_t span = 129 * 512;
    Bytes behind_zeros(kMiB, 0);
    PutBytes(behind_zeros, kMiB, Volume(1));
    Bytes headless = behind_zeros;
    PutBytes(headless, kMiB, Bytes(512, 0));
    Bytes one_after_another(kMiB, 0);  // the second 63 sectors past the first, the third at the next MiB
    PutBytes(one_after_another, kMiB, Volume(1));
    PutBytes(one_after_another, kMiB + span + 63 * 512, Volume(2));
    PutBytes(one_after_another, 2 * kMiB, Volume(3));
    PutBytes(one_after_another, 3 * kMiB, Bytes(4096, 0));
    Bytes at_sector_63 = Bytes(63 * 512, 0);
    PutBytes(at_sector_63, 63 * 512, Volume(4));
    PutBytes(at_sector_63, kMiB, Bytes(512, 0));
    // The backup in the last sector of a partition larger than the volume:
    // the hidden-sectors field says where it starts.
    const Bytes hinted = Volume(5, 2048);
    Bytes larger_partition(2 * kMiB, 0);
    PutBytes(larger_partition, kMiB, Bytes(hinted.begin(), hinted.begin() + 512));
    PutBytes(larger_partition, 3 * kMiB - 512, Bytes(hinted.begin() + 128 * 512, hinted.end()));
    Bytes unconfirmed = behind_zeros;  // a boot sector whose backup was lost, nor ending the image
    PutBytes(unconfirmed, kMiB + 128 * 512, Bytes(512, 0));
    PutBytes(unconfirmed, 2 * kMiB, Bytes(512, 0));
    Bytes nested(kMiB, 0);  // a volume's copy inside another is not one of the disk's
    PutBytes(nested, kMiB, Volume(1, 0, 4096));
    PutBytes(nested, 2 * kMiB, Volume(6));
    const struct {
        const char* label;
        Bytes image;
        std::vector<std::string> found;
    } cases[] = {
        {"a volume that ends the image", behind_zeros, {"1048576 1" + by_backup}},
        {"its boot sector lost", headless, {"1048576 1" + by_backup + ", backup used at 1114112"}},
        {"volumes one after another", one_after_another,
         {"1048576 1" + by_boot, std::to_string(kMiB + span + 63 * 512) + " 2" + by_boot, "2097152 3" + by_boot}},
        {"a volume at sector 63", at_sector_63, {"32256 4" + by_boot}},
        {"a volume counting fewer sectors than its partition", larger_partition, {"1048576 5" + by_backup}},
        {"a boot sector no backup confirms", unconfirmed, {}},
        {"a volume inside another", nested, {"1048576 1" + by_backup}},
        {"zeros", Bytes(4 * kMiB, 0), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Texts(SearchNtfsVolumes(MemoryImage(c.image))), c.found);
    }
}

// An image of 1 TiB, zeros but for the sectors placed in it, that counts
// the bytes read.
class CountingImage final : public ImageReader {
public:
    std::uint64_t Size() const override { return std::uint64_t{1} << 40; }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length, Diagnostics&) const override
    {
        const std::size_t count = LengthInside(offset, length);
        read_ += count;
        std::memset(out, 0, count);
        for (const auto& [at, bytes] : sectors) {
            if (at >= offset && at - offset < count) {
                std::memcpy(out + (at - offset), bytes.data(), std::min<std::size_t>(bytes.size(), count - (at - offset)));
            }
        }
        return static_cast<long long>(count);
    }
    std::map<std::uint64_t, Bytes> sectors;
    mutable std::atomic<std::uint64_t> read_{0};
};

TEST(VolumeSearchTest, ReadsAFewHundredSectorsOfATebibyteImage)
{
    CountingImage image;
    const Bytes boot = BootSectorBytes(BootFields());
    image.sectors[kMiB] = boot;  // a volume at 1 MiB
    image.sectors[kMiB + 128 * 512] = boot;
    BootFields last;
    last.total_sectors = 1 << 20;
    last.serial = 7;
    image.sectors[image.Size() - 512] = BootSectorBytes(last);  // and one that ends the image
    const auto volumes = SearchNtfsVolumes(image);
    EXPECT_EQ(Texts(volumes), (std::vector<std::string>{
                                  "1048576 1234605616436508552 found by its boot sector",
                                  std::to_string(image.Size() - 512 - (std::uint64_t{512} << 20)) +
                                      " 7 found by its backup boot sector, backup used at " +
                                      std::to_string(image.Size() - 512)}));
    EXPECT_LT(image.read_.load(), 4 * kMiB);
}

TEST(VolumeSearchTest, ListsATablesOtherPartitionsByKind)
{
    Bytes fat(512, 0);
    PutBytes(fat, 0, {0xEB, 0x3C, 0x90});
    PutLE(fat, 0x0B, 512, 2);
    fat[0x0D] = 8;
    PutLE(fat, 0x0E, 32, 2);
    fat[0x10] = 2;
    PutLE(fat, 0x20, 1 << 20, 4);
    PutLE(fat, 0x24, 1024, 4);  // no 16-bit FAT size: FAT32
    PutLE(fat, 510, 0xAA55, 2);
    Bytes ext3(2048, 0);
    PutLE(ext3, 1080, 0xEF53, 2);
    PutLE(ext3, 1024 + 0x5C, 0x4, 4);  // a journal
    Bytes bitlocker = Volume(9);       // its backup boot sector names it
    PutBytes(bitlocker, 3, {'-', 'F', 'V', 'E', '-', 'F', 'S', '-'});
    Bytes exfat(512, 0);
    PutBytes(exfat, 3, {'E', 'X', 'F', 'A', 'T', ' ', ' ', ' '});
    const std::uint32_t sectors = 129;
    Bytes disk = MbrSector({{0x0C, 64, 4}, {0x83, 128, 4}, {0x07, 256, sectors}, {0x07, 512, sectors}});
    PutBytes(disk, 64 * 512, fat);
    PutBytes(disk, 128 * 512, ext3);
    PutBytes(disk, 256 * 512, Volume(8));
    PutBytes(disk, 512 * 512, bitlocker);
    PutBytes(disk, 1024 * 512, exfat);
    ImageInput input;
    input.image = std::make_shared<MemoryImage>(disk);
    Diagnostics diagnostics;
    FindNtfsVolumes(input, diagnostics);
    ASSERT_EQ(input.volumes.size(), 2u);
    EXPECT_EQ(input.volumes[0].bitlocker, false);
    EXPECT_EQ(input.volumes[1].bitlocker, true);
    std::vector<std::string> others;
    for (const OtherVolume& other : input.others) {
        others.push_back(other.partition.entry.ToStdString() + " " + VolumeKindText(other.kind).ToStdString() +
                         " after " + std::to_string(other.after));
    }
    EXPECT_EQ(others, (std::vector<std::string>{"MBR entry 1 FAT32 after 0", "MBR entry 2 ext3 after 0"}));
    // --offset: a volume of the table, a boot sector anywhere, an encrypted volume, nothing.
    EXPECT_EQ(NtfsVolumeAtOffset(input, 256 * 512).value().entry, "MBR entry 3");
    EXPECT_EQ(NtfsVolumeAtOffset(input, 512 * 512 + 128 * 512).value().boot.serial, 9u);
    EXPECT_TRUE(NtfsVolumeAtOffset(input, 512 * 512).value().bitlocker);
    EXPECT_FALSE(NtfsVolumeAtOffset(input, 1024 * 512).has_value());
    EXPECT_EQ(DetectVolumeKind(*input.image, 1024 * 512), VolumeKind::kExFat);
}

}  // namespace
}  // namespace varneth_test
