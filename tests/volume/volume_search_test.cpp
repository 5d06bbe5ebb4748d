// Volumes found without a partition table (and the cost on a huge image); volume kinds.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/memory_image.h"
#include "support/volume_builder.h"
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
    PutLE(volume, 0x1C, hidden_sectors, 4);
    PutLE(volume, sectors * 512 + 0x1C, hidden_sectors, 4);
    return volume;
}

// "OFFSET SERIAL how[, backup at N]" for each volume.
std::vector<std::string> Texts(const std::vector<NtfsVolume>& volumes)
{
    std::vector<std::string> texts;
    for (const NtfsVolume& v : volumes) {
        texts.push_back(std::to_string(v.offset) + " " + std::to_string(v.boot.serial) + " " + v.found.ToStdString() +
                        (v.backup_boot_sector ? ", backup at " + std::to_string(v.boot_sector_offset) : ""));
    }
    return texts;
}

// size bytes of zeros with the pieces written over them, in order.
Bytes Image(std::uint64_t size, const std::vector<std::pair<std::uint64_t, Bytes>>& pieces)
{
    Bytes image(size, 0);
    for (const auto& [offset, bytes] : pieces) {
        PutBytes(image, offset, bytes);
    }
    return image;
}

TEST(VolumeSearchTest, FindsVolumesByTheirBootSectorsAndBackups)
{
    const std::string by_backup = " found by its backup boot sector";
    const std::string by_boot = " found by its boot sector";
    const std::uint64_t second = kMiB + 129 * 512 + 63 * 512;  // 63 sectors past the first's backup
    const Bytes hinted = Volume(5, 2048);
    const struct {
        const char* label;
        Bytes image;
        std::vector<std::string> found;
    } cases[] = {
        {"a volume that ends the image", Image(kMiB, {{kMiB, Volume(1)}}), {"1048576 1" + by_backup}},
        {"its boot sector lost", Image(kMiB, {{kMiB, Volume(1)}, {kMiB, Bytes(512, 0)}}),
         {"1048576 1" + by_backup + ", backup at 1114112"}},
        {"volumes one after another", Image(3 * kMiB, {{kMiB, Volume(1)}, {second, Volume(2)}, {2 * kMiB, Volume(3)}}),
         {"1048576 1" + by_boot, std::to_string(second) + " 2" + by_boot, "2097152 3" + by_boot}},
        {"a volume at sector 63", Image(kMiB, {{63 * 512, Volume(4)}}), {"32256 4" + by_boot}},
        // The backup ends a partition larger than the volume: the hidden sectors say where it starts.
        {"a volume counting fewer sectors than its partition",
         Image(3 * kMiB, {{kMiB, Bytes(hinted.begin(), hinted.begin() + 512)},
                          {3 * kMiB - 512, Bytes(hinted.begin() + 128 * 512, hinted.end())}}),
         {"1048576 5" + by_backup}},
        {"a bare volume counting fewer sectors than its image, its boot sector lost, $MFT at cluster 4",
         Image(kMiB, {{0, Bytes(512, 0)}, {4096, {'F', 'I', 'L', 'E'}}, {kMiB - 512, Bytes(hinted.end() - 512, hinted.end())}}),
         {"0 5" + by_backup + ", backup at 1048064"}},
        {"a boot sector no backup confirms", Image(2 * kMiB, {{kMiB, Volume(1)}, {kMiB + 128 * 512, Bytes(512, 0)}}), {}},
        {"a volume's copy inside another", Image(kMiB, {{kMiB, Volume(1, 0, 4096)}, {2 * kMiB, Volume(6)}}),
         {"1048576 1" + by_backup}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Texts(SearchNtfsVolumes(MemoryImage(c.image))), c.found);
    }
}

// 1 TiB of zeros but for the sectors placed in it, counting the bytes read.
class CountingImage final : public ImageReader {
public:
    std::uint64_t Size() const override { return std::uint64_t{1} << 40; }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length, Diagnostics&) const override
    {
        const std::size_t count = LengthInside(offset, length);
        read += count;
        std::memset(out, 0, count);
        for (const auto& [at, bytes] : sectors) {
            if (at >= offset && at - offset < count) {
                std::memcpy(out + (at - offset), bytes.data(), std::min(bytes.size(), count - (at - offset)));
            }
        }
        return static_cast<long long>(count);
    }
    std::map<std::uint64_t, Bytes> sectors;
    mutable std::atomic<std::uint64_t> read{0};
};

TEST(VolumeSearchTest, ReadsAFewHundredSectorsOfATebibyteImage)
{
    CountingImage image;
    image.sectors[kMiB] = image.sectors[kMiB + 128 * 512] = Volume(1);  // boot sector and backup at 1 MiB
    BootFields last;
    last.total_sectors = 1 << 20;
    last.serial = 7;
    image.sectors[image.Size() - 512] = BootSectorBytes(last);  // and a backup that ends the image
    const std::uint64_t last_start = image.Size() - 512 - (std::uint64_t{512} << 20);
    EXPECT_EQ(Texts(SearchNtfsVolumes(image)),
              (std::vector<std::string>{"1048576 1 found by its boot sector",
                                        std::to_string(last_start) + " 7 found by its backup boot sector, backup at " +
                                            std::to_string(image.Size() - 512)}));
    EXPECT_LT(image.read.load(), 4 * kMiB);
}

TEST(VolumeSearchTest, TellsTheKindOfAVolume)
{
    const std::pair<Bytes, const char*> cases[] = {
        {Image(512, {{0, {0xEB, 0x58, 0x90}}, {0x0B, {0, 2, 8, 32, 0, 2}}, {0x20, {0, 0, 16, 0, 0, 4}}, {510, {0x55, 0xAA}}}),
         "FAT32"},  // no 16-bit FAT size
        {Image(2048, {{1080, {0x53, 0xEF}}, {1024 + 0x5C, {4}}}), "ext3"},  // a journal
        {Image(512, {{3, {'E', 'X', 'F', 'A', 'T', ' ', ' ', ' '}}}), "exFAT"},
        {Image(512, {{3, {'-', 'F', 'V', 'E', '-', 'F', 'S', '-'}}}), "BitLocker-encrypted"},
        {Volume(1), "NTFS"}, {Bytes(4096, 0), "unknown"}, {Bytes(100, 0), "unknown"},
        {Bytes(), "past the end of the image"},  // a partition where a cut image ends
    };
    for (const auto& [first_bytes, kind] : cases) {
        EXPECT_EQ(VolumeKindText(DetectVolumeKind(MemoryImage(first_bytes), 0)), kind);
    }
}

}  // namespace
}  // namespace varneth_test
