#ifndef VARNETH_VOLUME_PARTITION_TABLE_H
#define VARNETH_VOLUME_PARTITION_TABLE_H

// The partitions of a disk image: an MBR (four primary entries, and the
// logical volumes of an extended partition's chain) or a GPT (behind a
// protective MBR, its header at LBA 1 of 512- or 4096-byte sectors).

#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "base/diagnostics.h"
#include "image/image_reader.h"

struct Partition {
    std::uint64_t offset = 0;       // bytes from the start of the image
    std::uint64_t size = 0;         // bytes, as the table gives them
    std::uint32_t sector_size = 512;  // the table's sector
    wxString entry;                 // where the table lists it: "MBR entry 2", "MBR logical 1", "GPT entry 3"
};

enum class PartitionScheme { kNone, kMbr, kGpt };

struct PartitionTable {
    PartitionScheme scheme = PartitionScheme::kNone;
    std::vector<Partition> partitions;  // in table order
};

// The table at the start of the image; kNone when sector 0 holds none and
// no GPT header follows it. What
// cannot be used (a GPT header or entry array cut short, an extended chain
// that loops or runs past the image) is said in diagnostics and left out.
PartitionTable ReadPartitionTable(const ImageReader& image, Diagnostics& diagnostics);

#endif
