// The NTFS boot sector: the geometry it encodes (large clusters, records
// smaller than a cluster), and every field that makes it describe no volume.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "support/volume_builder.h"
#include "volume/boot_sector.h"

namespace varneth_test {
namespace {

std::optional<NtfsBootSector> Decode(const Bytes& sector)
{
    return DecodeNtfsBootSector(ByteReader(sector.data(), sector.size()));
}

TEST(BootSectorTest, DecodesTheGeometry)
{
    const struct {
        const char* label;
        BootFields fields;  // sector size, sectors a cluster, sectors, $MFT, mirror, clusters a record
        std::uint32_t cluster_size;
        std::uint32_t record_size;
    } cases[] = {
        {"small clusters", {512, 2, 128, 4, 40, 0xF6}, 1024, 1024},
        {"large clusters (2^12 sectors)", {512, 0xF4, 409600, 4, 40, 0xF6}, 2 << 20, 1024},
        {"records of whole clusters", {512, 1, 128, 4, 40, 2}, 512, 1024},
        {"4096-byte sectors", {4096, 1, 128, 4, 40, 0xF4}, 4096, 4096},
        {"the $MFT and its mirror in the last cluster", {512, 2, 128, 63, 63, 0xF6}, 1024, 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto boot = Decode(BootSectorBytes(c.fields));
        ASSERT_TRUE(boot.has_value());
        EXPECT_EQ(boot->bytes_per_sector, c.fields.bytes_per_sector);
        EXPECT_EQ(boot->cluster_size, c.cluster_size);
        EXPECT_EQ(boot->record_size, c.record_size);
        EXPECT_EQ(boot->total_sectors, c.fields.total_sectors);
        EXPECT_EQ(boot->mft_cluster, c.fields.mft_cluster);
        EXPECT_EQ(boot->mft_mirror_cluster, c.fields.mirror_cluster);
        EXPECT_EQ(boot->serial, c.fields.serial);
    }
}

// A change of the little-endian field at offset.
std::function<void(Bytes&)> Field(std::size_t offset, std::uint64_t value, int width)
{
    return [=](Bytes& sector) { PutLE(sector, offset, value, width); };
}

constexpr std::size_t kSectorSize = 0x0B;
constexpr std::size_t kSectorsPerCluster = 0x0D;
constexpr std::size_t kTotalSectors = 0x28;
constexpr std::size_t kMftCluster = 0x30;
constexpr std::size_t kMirrorCluster = 0x38;
constexpr std::size_t kClustersPerRecord = 0x40;

TEST(BootSectorTest, RefusesSectorsThatDescribeNoVolume)
{
    const struct {
        const char* label;
        std::function<void(Bytes&)> change;
        bool looks_like_ntfs;
    } cases[] = {
        {"another OEM id", Field(3, 'X', 1), false},
        {"no end mark", Field(510, 0, 2), false},
        {"a sector cut short", [](Bytes& sector) { sector.resize(300); }, false},
        {"sectors of 384 bytes", Field(kSectorSize, 384, 2), true},
        {"sectors of 128 bytes", Field(kSectorSize, 128, 2), true},
        {"sectors of 8192 bytes", Field(kSectorSize, 8192, 2), true},
        {"no sectors a cluster", Field(kSectorsPerCluster, 0, 1), true},
        {"3 sectors a cluster", Field(kSectorsPerCluster, 3, 1), true},
        {"clusters of 4 MiB", Field(kSectorsPerCluster, 0xF3, 1), true},
        {"clusters of 2^127 sectors", Field(kSectorsPerCluster, 0x81, 1), true},
        {"records of 128 bytes", Field(kClustersPerRecord, 0xF9, 1), true},
        {"records of 128 KiB", Field(kClustersPerRecord, 0xEF, 1), true},
        {"records of 2^32 bytes", Field(kClustersPerRecord, 0xE0, 1), true},
        {"records of no clusters", Field(kClustersPerRecord, 0, 1), true},
        {"records of 3 clusters", Field(kClustersPerRecord, 3, 1), true},
        {"no sectors", Field(kTotalSectors, 0, 8), true},
        {"more than 2^48 sectors", Field(kTotalSectors, (std::uint64_t{1} << 48) + 1, 8), true},
        {"the $MFT past the end", Field(kMftCluster, 64, 8), true},
        {"the mirror past the end", Field(kMirrorCluster, ~std::uint64_t{0}, 8), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes sector = BootSectorBytes(BootFields());  // 128 sectors of 512 bytes, 64 clusters
        c.change(sector);
        EXPECT_EQ(LooksLikeNtfsBootSector(ByteReader(sector.data(), sector.size())), c.looks_like_ntfs);
        EXPECT_FALSE(Decode(sector).has_value());
    }
}

}  // namespace
}  // namespace varneth_test
