#ifndef VARNETH_TESTS_SUPPORT_VOLUME_BUILDER_H
#define VARNETH_TESTS_SUPPORT_VOLUME_BUILDER_H

// NTFS volumes and partitioned disks built byte by byte, as images to read:
// a boot sector, run lists, the $MFT's records laid out at clusters, MBR and
// GPT partition tables.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/record_builder.h"

namespace varneth_test {

// The fields of an NTFS boot sector that the tool reads.
struct BootFields {
    std::uint16_t bytes_per_sector = 512;
    std::uint8_t sectors_per_cluster = 2;     // above 0x80: 2^(256 - value) sectors
    std::uint64_t total_sectors = 128;        // the backup boot sector not counted
    std::uint64_t mft_cluster = 4;
    std::uint64_t mirror_cluster = 40;
    std::uint8_t clusters_per_record = 0xF6;  // above 0x80: 2^(256 - value) bytes (0xF6: 1024)
    std::uint64_t serial = 0x1122334455667788;
};

// One sector of bytes_per_sector bytes ("NTFS    ", the fields, 0x55AA).
Bytes BootSectorBytes(const BootFields& fields);

// A run of a run list: clusters at lcn, or sparse.
struct RunSpec {
    std::uint64_t clusters = 0;
    std::int64_t lcn = 0;
    bool sparse = false;
};

// The mapping pairs of the runs, each field in as few bytes as it takes,
// and the end mark.
Bytes RunListBytes(const std::vector<RunSpec>& runs);

// The unnamed $DATA piece that starts at start_vcn and lays out the runs,
// of a stream of size bytes (allocated: the runs' clusters).
NonResidentFields DataPiece(const std::vector<RunSpec>& runs, std::uint64_t start_vcn, std::uint64_t size,
                            std::uint32_t cluster_size);

// Writes bytes at offset, growing the image when they reach past its end.
void PutBytes(Bytes& image, std::uint64_t offset, const Bytes& bytes);

// A volume of boot.total_sectors sectors and one more for the backup boot
// sector, zeros but for the two boot sectors.
class VolumeImage {
public:
    explicit VolumeImage(const BootFields& boot);
    VolumeImage& PutClusters(std::uint64_t cluster, const Bytes& bytes);
    std::uint32_t ClusterSize() const { return cluster_size_; }
    Bytes& bytes() { return bytes_; }
    const Bytes& bytes() const { return bytes_; }

private:
    std::uint32_t cluster_size_;
    Bytes bytes_;
};

// Record 0 of an $MFT of size bytes that lies in runs of 1024-byte clusters,
// or whose $DATA is the one given.
RecordBuilder MftRecordZero(const std::vector<RunSpec>& runs, std::uint64_t size);
RecordBuilder MftRecordZero(const NonResidentFields& data);

// A volume of 512-byte sectors and 1024-byte clusters holding the records
// of mft in one run at cluster 4, record 0 replaced by the $MFT's own that
// lays them out, and the first four records again as $MFTMirr after them.
VolumeImage SmallVolume(const MftImage& mft);

// A piece of the $MFT's $DATA: runs from start_vcn, in record 0 (the first
// piece) or in the extension record recno that record 0's list names.
struct MftPiece {
    std::uint64_t recno = 0;
    std::uint64_t start_vcn = 0;
    std::vector<RunSpec> runs;
};

// A volume of 58 clusters of 1024 bytes (and $MFTMirr) whose $MFT, mft's
// records, lies in the pieces (the first to lay out a VCN wins; none past
// the volume), record 0 with a resident $BITMAP of the bytes given, if any.
Bytes PiecedVolume(const MftImage& mft, const std::vector<MftPiece>& pieces, const Bytes& bitmap = {});

// Sector 0 of a disk: a partition entry, four at most.
struct MbrEntrySpec {
    std::uint8_t type = 0x07;
    std::uint32_t first_sector = 0;
    std::uint32_t sectors = 0;
};

// 512 bytes: the entries at 0x1BE and the end mark.
Bytes MbrSector(const std::vector<MbrEntrySpec>& entries);

// A GPT header (one sector of sector_size bytes) whose entry array of count
// entries of entry_size bytes lies at entries_lba.
Bytes GptHeader(std::uint32_t sector_size, std::uint64_t entries_lba, std::uint32_t count, std::uint32_t entry_size);

// An entry array: a used entry (a type GUID that is not zero) per range of
// first and last LBA.
Bytes GptEntries(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges, std::uint32_t entry_size = 128);

}  // namespace varneth_test

#endif
