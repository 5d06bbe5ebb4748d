#ifndef VARNETH_VOLUME_VOLUME_INPUT_H
#define VARNETH_VOLUME_VOLUME_INPUT_H

// A disk or volume image as input: which kind of image it is, and the NTFS
// volumes in it, in the order a user counts them.

#include <cstdint>
#include <memory>
#include <vector>

#include <wx/string.h>

#include "base/diagnostics.h"
#include "image/image_reader.h"
#include "volume/boot_sector.h"
#include "volume/partition_table.h"
#include "volume/volume_kind.h"

struct NtfsVolume {
    std::uint64_t offset = 0;         // bytes from the start of the image
    std::uint64_t size = 0;           // bytes: the partition's, or the volume's own
    std::uint32_t sector_size = 512;  // of the partition table; the volume's own for a bare volume
    wxString entry;                   // where the partition table lists it; empty for a bare volume
    NtfsBootSector boot;
    bool backup_boot_sector = false;  // the primary could not be used
    std::uint64_t boot_sector_offset = 0;  // where the boot sector used lies
    wxString found;    // of an image without a partition table: "found by its backup boot sector", ...
    bool bitlocker = false;  // its first sector says it is encrypted (its backup boot sector named it)
};

// A partition of the table that holds no NTFS volume the tool reads, or a
// bare encrypted volume.
struct OtherVolume {
    Partition partition;
    VolumeKind kind = VolumeKind::kUnknown;
    std::size_t after = 0;  // how many NTFS volumes come before it in table order
};

struct ImageInput {
    std::shared_ptr<const ImageReader> image;
    wxString kind;  // "raw image", "split raw image (3 segments)", "EWF image (2 segments)"
    std::vector<wxString> files;  // every file it is read from: its segments, or the one file"
    PartitionScheme scheme = PartitionScheme::kNone;
    std::vector<NtfsVolume> volumes;
    std::vector<OtherVolume> others;  // listed by kind, not numbered
};

// Opens path as an image: an EWF image (by its signature, its further
// segments found beside it), a split raw set (path is any segment of one:
// image/split_set.h), or else the file or device itself. False, said in
// diagnostics, when it cannot be opened or a set is incomplete.
bool OpenImage(const wxString& path, ImageInput& input, Diagnostics& diagnostics);

// The NTFS volumes of the image: the image itself when it starts with an
// NTFS boot sector, else every partition of its table whose first sector is
// one (or whose last sector holds a usable backup), whatever its type code,
// the table's other partitions going to others by kind; an image with
// neither is looked through for volumes by their boot sectors
// (volume/volume_search.h), and one that starts encrypted is an other
// volume of the BitLocker kind.
void FindNtfsVolumes(ImageInput& input, Diagnostics& diagnostics);

// The volume at offset, whatever the table says: one found there, else one
// whose boot sector lies there (a volume with bitlocker set and no boot
// sector when the first sector there is encrypted); none when neither.
std::optional<NtfsVolume> NtfsVolumeAtOffset(const ImageInput& input, std::uint64_t offset);

#endif
