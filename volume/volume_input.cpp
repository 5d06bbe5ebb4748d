#include "volume/volume_input.h"

#include <algorithm>

#include "image/ewf_image.h"
#include "image/split_set.h"
#include "volume/volume_search.h"

namespace {

constexpr std::size_t kSectorBytes = 512;

bool LooksLikeBootSectorAt(const ImageReader& image, std::uint64_t offset)
{
    unsigned char sector[kSectorBytes];
    Diagnostics unread;
    return image.ReadWhole(offset, sector, sizeof sector, unread) &&
           LooksLikeNtfsBootSector(ByteReader(sector, sizeof sector));
}

// The volume that starts at offset and spans size bytes: its boot sector, or
// the backup in its last sector (of 512 or 4096 bytes) when the first cannot
// be used.
std::optional<NtfsVolume> VolumeAt(const ImageReader& image, std::uint64_t offset, std::uint64_t size)
{
    NtfsVolume volume;
    volume.offset = offset;
    volume.size = size;
    volume.boot_sector_offset = offset;
    if (const auto boot = ReadNtfsBootSector(image, offset)) {
        volume.boot = *boot;
        return volume;
    }
    for (const std::uint64_t sector : {std::uint64_t{512}, std::uint64_t{4096}}) {
        if (size < 2 * sector) {
            continue;
        }
        const std::uint64_t backup = offset + size - sector;
        const auto boot = ReadNtfsBootSector(image, backup);
        // The backup follows the sectors the volume counts: in the last
        // sector of the volume, or of a partition a little larger.
        if (boot && boot->bytes_per_sector == sector && boot->VolumeBytes() <= size - sector) {
            volume.boot = *boot;
            volume.backup_boot_sector = true;
            volume.boot_sector_offset = backup;
            return volume;
        }
    }
    return std::nullopt;
}

}  // namespace

bool OpenImage(const wxString& path, ImageInput& input, Diagnostics& diagnostics)
{
    std::unique_ptr<FileImage> file = OpenFileImage(path, diagnostics);
    if (!file) {
        return false;
    }
    unsigned char first_bytes[8] = {};
    Diagnostics unread;
    const long long got = file->ReadAt(0, first_bytes, sizeof first_bytes, unread);
    if (got > 0 && HasEwfSignature(first_bytes, static_cast<std::size_t>(got))) {
        std::unique_ptr<EwfImage> ewf = EwfImage::Open(path, diagnostics);
        if (!ewf) {
            return false;
        }
        input.kind = wxString::Format(wxS("EWF image (%d segment%s)"), ewf->segment_count(),
                                      ewf->segment_count() == 1 ? "" : "s");
        input.files = ewf->segment_names();
        input.image = std::move(ewf);
        return true;
    }
    SplitSet split;
    switch (OpenSplitSet(path, split, diagnostics)) {
    case SplitSetOpen::kRefused:
        return false;
    case SplitSetOpen::kOpened:
        // Read from its first segment, whichever was named.
        input.kind = wxString::Format(wxS("split raw image (%zu segments"), split.segments.size()) +
                     (split.segments.front() == path ? wxString() : wxS(" from ") + split.segments.front()) + wxS(")");
        input.files = split.segments;
        input.image = std::move(split.image);
        return true;
    case SplitSetOpen::kNotASet:
        break;
    }
    input.kind = wxS("raw image");
    input.files = {path};
    input.image = std::move(file);
    return true;
}

void FindNtfsVolumes(ImageInput& input, Diagnostics& diagnostics)
{
    const ImageReader& image = *input.image;
    input.volumes.clear();
    input.others.clear();
    if (const auto volume = ReadNtfsBootSector(image, 0)) {
        NtfsVolume whole;
        whole.size = image.Size();
        whole.sector_size = volume->bytes_per_sector;
        whole.boot = *volume;
        input.volumes.push_back(whole);
        return;
    }
    if (!LooksLikeBootSectorAt(image, 0)) {
        const PartitionTable table = ReadPartitionTable(image, diagnostics);
        input.scheme = table.scheme;
        if (table.scheme != PartitionScheme::kNone) {
            for (const Partition& partition : table.partitions) {
                if (auto volume = VolumeAt(image, partition.offset, partition.size)) {
                    volume->sector_size = partition.sector_size;
                    volume->entry = partition.entry;
                    volume->bitlocker = volume->backup_boot_sector && IsBitLockerAt(image, partition.offset);
                    input.volumes.push_back(*volume);
                } else {
                    input.others.push_back({partition, DetectVolumeKind(image, partition.offset), input.volumes.size()});
                }
            }
            return;
        }
    }
    input.volumes = SearchNtfsVolumes(image);
    for (NtfsVolume& volume : input.volumes) {
        volume.bitlocker = volume.backup_boot_sector && IsBitLockerAt(image, volume.offset);
    }
    if (input.volumes.empty() && IsBitLockerAt(image, 0)) {
        Partition whole;
        whole.size = image.Size();
        input.others.push_back({whole, VolumeKind::kBitLocker, 0});
    }
}

std::optional<NtfsVolume> NtfsVolumeAtOffset(const ImageInput& input, std::uint64_t offset)
{
    for (const NtfsVolume& volume : input.volumes) {
        if (volume.offset == offset) {
            return volume;
        }
    }
    NtfsVolume volume;
    volume.offset = offset;
    volume.boot_sector_offset = offset;
    if (const auto boot = ReadNtfsBootSector(*input.image, offset)) {
        volume.boot = *boot;
        volume.sector_size = boot->bytes_per_sector;
        volume.size = boot->VolumeBytes() + boot->bytes_per_sector;
        return volume;
    }
    if (IsBitLockerAt(*input.image, offset)) {
        volume.bitlocker = true;
        return volume;
    }
    return std::nullopt;
}
