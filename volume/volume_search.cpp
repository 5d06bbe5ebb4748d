#include "volume/volume_search.h"

#include <algorithm>

#include "mft/byte_reader.h"
#include "mft/record_header.h"

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
// How far past the image's start, or a volume's end, the next volume's
// start is looked for: past a system partition and a reserved one.
constexpr std::uint64_t kWindow = 256 * kMiB;
// Sectors read in the whole look, the confirmations included.
constexpr unsigned kMostReads = 4096;
constexpr std::size_t kMostVolumes = 64;
constexpr std::uint64_t kOldStartSectors = 63;  // the track-aligned start of older tools

constexpr const wxChar* kByBackup = wxS("found by its backup boot sector");
constexpr const wxChar* kByBootSector = wxS("found by its boot sector");

// A boot sector and its backup (or another copy) of one volume.
bool SameVolume(const NtfsBootSector& a, const NtfsBootSector& b)
{
    return a.serial == b.serial && a.total_sectors == b.total_sectors && a.bytes_per_sector == b.bytes_per_sector &&
           a.mft_cluster == b.mft_cluster && a.mft_mirror_cluster == b.mft_mirror_cluster;
}

// The volume and the sector of its backup boot sector.
std::uint64_t SpanOf(const NtfsBootSector& boot)
{
    return boot.VolumeBytes() + boot.bytes_per_sector;
}

class Search {
public:
    explicit Search(const ImageReader& image) : image_(image) {}

    void FromImageEnd();
    void FromImageStart();
    std::vector<NtfsVolume> Found();

private:
    std::optional<NtfsBootSector> BootSectorAt(std::uint64_t offset)
    {
        if (reads_ >= kMostReads) {
            return std::nullopt;
        }
        ++reads_;
        return ReadNtfsBootSector(image_, offset);
    }
    bool ConfirmedAt(std::uint64_t offset, const NtfsBootSector& boot);
    bool HoldsMftAt(std::uint64_t offset, const NtfsBootSector& boot);
    void Add(std::uint64_t offset, const NtfsBootSector& boot, const wxString& how);
    const NtfsVolume* Holding(std::uint64_t offset) const;
    std::vector<std::uint64_t> Candidates(std::uint64_t from) const;

    const ImageReader& image_;
    unsigned reads_ = 0;
    std::vector<NtfsVolume> found_;
};

// The $MFT's first record (FILE) at the cluster the boot sector names, of
// a volume that starts at offset.
bool Search::HoldsMftAt(std::uint64_t offset, const NtfsBootSector& boot)
{
    unsigned char bytes[4] = {};
    Diagnostics unread;
    if (reads_ >= kMostReads ||
        !image_.ReadWhole(offset + boot.mft_cluster * boot.cluster_size, bytes, sizeof bytes, unread)) {
        return false;
    }
    ++reads_;
    ByteReader record(bytes, sizeof bytes);
    return record.U32At(0) == kFileSignature && record.ok();
}

// A boot sector at offset whose backup, past the sectors it counts, is a
// copy of it.
bool Search::ConfirmedAt(std::uint64_t offset, const NtfsBootSector& boot)
{
    if (boot.VolumeBytes() >= image_.Size() - offset) {
        return false;
    }
    const auto backup = BootSectorAt(offset + boot.VolumeBytes());
    return backup && SameVolume(boot, *backup);
}

void Search::Add(std::uint64_t offset, const NtfsBootSector& boot, const wxString& how)
{
    NtfsVolume volume;
    volume.offset = offset;
    volume.size = SpanOf(boot);
    volume.sector_size = boot.bytes_per_sector;
    volume.boot = boot;
    volume.boot_sector_offset = offset;
    volume.found = how;
    found_.push_back(volume);
}

const NtfsVolume* Search::Holding(std::uint64_t offset) const
{
    for (const NtfsVolume& volume : found_) {
        if (offset >= volume.offset && offset - volume.offset < volume.size) {
            return &volume;
        }
    }
    return nullptr;
}

// The image's last sector, of 512 or 4096 bytes, as the backup of a volume
// that ends the image: its start is the backup's offset less the sectors it
// counts, or, where the volume counts fewer sectors than its partition held,
// where the hidden-sectors field says it was made to start. A start whose
// own boot sector cannot be used takes the backup's fields.
void Search::FromImageEnd()
{
    for (const std::uint32_t sector : {512u, 4096u}) {
        if (image_.Size() < 2 * std::uint64_t{sector}) {
            continue;
        }
        const std::uint64_t backup_offset = image_.Size() - sector;
        const auto backup = BootSectorAt(backup_offset);
        if (!backup || backup->bytes_per_sector != sector || backup->VolumeBytes() > backup_offset) {
            continue;
        }
        const std::uint64_t counted_start = backup_offset - backup->VolumeBytes();
        const std::uint64_t hinted_start = std::uint64_t{backup->hidden_sectors} * sector;
        std::uint64_t start = counted_start;
        std::optional<NtfsBootSector> primary = BootSectorAt(counted_start);
        if ((!primary || !SameVolume(*primary, *backup)) && hinted_start < counted_start) {
            if (const auto hinted = BootSectorAt(hinted_start); hinted && SameVolume(*hinted, *backup)) {
                start = hinted_start;
                primary = hinted;
            }
        }
        const bool primary_used = primary && SameVolume(*primary, *backup);
        if (!primary_used) {
            // No boot sector to match: the start where the $MFT lies where
            // the backup says, the image's own start last (a volume image
            // larger than the sectors it counts).
            for (const std::uint64_t guess : {counted_start, hinted_start, std::uint64_t{0}}) {
                if (guess <= counted_start && HoldsMftAt(guess, *backup)) {
                    start = guess;
                    break;
                }
            }
        }
        if (Holding(start) != nullptr) {
            continue;
        }
        Add(start, primary_used ? *primary : *backup, kByBackup);
        if (!primary_used) {
            found_.back().backup_boot_sector = true;
            found_.back().boot_sector_offset = backup_offset;
        }
        found_.back().size = std::max(found_.back().size, image_.Size() - start);
    }
}

// Where the next volume may start after from: right there, 63 sectors on
// (of 512 or 4096 bytes), and each MiB boundary inside the window; in
// order, inside the image.
std::vector<std::uint64_t> Search::Candidates(std::uint64_t from) const
{
    std::vector<std::uint64_t> offsets;
    if (from > 0) {
        offsets.push_back(from);
    }
    offsets.push_back(from + kOldStartSectors * 512);
    offsets.push_back(from + kOldStartSectors * 4096);
    for (std::uint64_t boundary = (from / kMiB + 1) * kMiB; boundary < from + kWindow; boundary += kMiB) {
        offsets.push_back(boundary);
    }
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    const std::uint64_t last = image_.Size() < 512 ? 0 : image_.Size() - 512;
    offsets.erase(std::find_if(offsets.begin(), offsets.end(), [last](std::uint64_t at) { return at > last; }),
                  offsets.end());
    return offsets;
}

// From the image's start, volume after volume: the first candidate start
// whose boot sector its backup confirms is a volume, and the look goes on
// past its end; a volume found by its backup is stepped over likewise.
void Search::FromImageStart()
{
    std::uint64_t from = 0;
    bool moved = true;
    while (moved && found_.size() < kMostVolumes && reads_ < kMostReads) {
        moved = false;
        for (const std::uint64_t candidate : Candidates(from)) {
            if (const NtfsVolume* known = Holding(candidate)) {
                from = known->offset + known->size;
                moved = true;
                break;
            }
            const auto boot = BootSectorAt(candidate);
            if (boot && ConfirmedAt(candidate, *boot)) {
                Add(candidate, *boot, kByBootSector);
                from = candidate + SpanOf(*boot);
                moved = true;
                break;
            }
        }
    }
}

std::vector<NtfsVolume> Search::Found()
{
    std::sort(found_.begin(), found_.end(),
              [](const NtfsVolume& a, const NtfsVolume& b) { return a.offset < b.offset; });
    return found_;
}

}  // namespace

std::vector<NtfsVolume> SearchNtfsVolumes(const ImageReader& image)
{
    Search search(image);
    search.FromImageEnd();
    search.FromImageStart();
    return search.Found();
}
