#include "app/image_input.h"

#include <algorithm>


#include "app/format_count.h"
#include "base/log_message.h"
#include "volume/mft_location.h"
#include "volume/volume_input.h"

namespace {

constexpr unsigned kRunsShown = 16;

// "at byte offset 1,048,576 (sector 2,048)"
wxString Position(std::uint64_t offset, std::uint32_t sector_size, NumberFormatter& formatter)
{
    return wxS("at byte offset ") + FormatCount(formatter, offset) + wxS(" (sector ") +
           FormatCount(formatter, offset / sector_size) + wxS(")");
}

// "in MBR entry 2 at byte offset 1,048,576 (sector 2,048)"; a bare volume
// is listed in no table.
wxString Where(const NtfsVolume& volume, NumberFormatter& formatter)
{
    const wxString text = volume.entry.empty() ? wxString() : wxS("in ") + volume.entry + wxS(" ");
    return text + Position(volume.offset, volume.sector_size, formatter);
}

wxString Serial(const NtfsVolume& volume)
{
    return wxString::Format(wxS("%016llX"), static_cast<unsigned long long>(volume.boot.serial));
}

wxString BitLockerText(std::uint64_t offset, NumberFormatter& formatter)
{
    return wxS("Volume at byte offset ") + FormatCount(formatter, offset) +
           wxS(" is BitLocker-encrypted: decrypt it first.");
}

// The NTFS volumes by their -p numbers, and the table's other partitions
// between them, in table order, by kind.
void LogVolumeList(const ImageInput& input, NumberFormatter& formatter)
{
    const auto log_others = [&](std::size_t after) {
        for (const OtherVolume& other : input.others) {
            if (other.after != after) {
                continue;
            }
            const Partition& partition = other.partition;
            LogErrorText(wxS("  ") + (partition.entry.empty() ? wxString() : partition.entry + wxS(" ")) +
                         Position(partition.offset, partition.sector_size, formatter) + wxS(", ") +
                         FormatCount(formatter, partition.size) + wxS(" bytes: ") + VolumeKindText(other.kind) +
                         wxS(", not read"));
        }
    };
    for (std::size_t i = 0; i < input.volumes.size(); ++i) {
        log_others(i);
        const NtfsVolume& volume = input.volumes[i];
        LogErrorText(wxString::Format(wxS("  -p %zu: "), i + 1) + Where(volume, formatter) + wxS(", ") +
                     FormatCount(formatter, volume.boot.VolumeBytes()) + wxS(" bytes, serial ") + Serial(volume) +
                     (volume.found.empty() ? wxString() : wxS(", ") + volume.found) +
                     (volume.bitlocker ? wxS(", BitLocker-encrypted") : wxString()));
    }
    log_others(input.volumes.size());
}

// The volume the run reads, or null after the error lines that say why none.
const NtfsVolume* ChooseVolume(const wxString& path, const ImageInput& input, unsigned long partition,
                               NumberFormatter& formatter)
{
    const std::size_t count = input.volumes.size();
    if (count == 0) {
        if (input.others.size() == 1 && input.others.front().kind == VolumeKind::kBitLocker) {
            LogErrorText(BitLockerText(input.others.front().partition.offset, formatter));
            return nullptr;
        }
        LogErrorText(wxS("Image ") + path + wxS(" holds no NTFS volume."));
    } else if (partition == 0 && count == 1) {
        return &input.volumes.front();
    } else if (partition == 0) {
        LogErrorText(wxS("Image ") + path + wxString::Format(wxS(" holds %zu NTFS volumes: choose one with -p N "
                                                                 "(--partition N)."),
                                                             count));
    } else if (partition > count) {
        LogErrorText(wxS("Image ") + path +
                     wxString::Format(wxS(" holds %zu NTFS volume%s: -p %lu names none of them."), count,
                                      count == 1 ? "" : "s", partition));
    } else {
        return &input.volumes[partition - 1];
    }
    LogVolumeList(input, formatter);
    return nullptr;
}

void LogGeometry(const NtfsVolume& volume, const MappedStream& stream, NumberFormatter& formatter)
{
    const NtfsBootSector& boot = volume.boot;
    LogMessageText(wxS("Volume geometry: ") + FormatCount(formatter, boot.bytes_per_sector) + wxS("-byte sectors, ") +
                   FormatCount(formatter, boot.cluster_size) + wxS("-byte clusters, ") +
                   FormatCount(formatter, boot.record_size) + wxS("-byte file records, $MFT at cluster ") +
                   FormatCount(formatter, boot.mft_cluster) + wxS(", $MFTMirr at cluster ") +
                   FormatCount(formatter, boot.mft_mirror_cluster) + wxS(", serial ") + Serial(volume) + wxS("."));
    wxString runs = wxString::Format(wxS("$MFT runs: %zu"), stream.runs().size());
    for (std::size_t i = 0; i < stream.runs().size() && i < kRunsShown; ++i) {
        const StreamRun& run = stream.runs()[i];
        runs += i == 0 ? wxS(" (") : wxS(", ");
        runs += run.sparse ? wxS("sparse, ") : wxS("bytes ") + FormatCount(formatter, run.image_offset) + wxS(" ");
        runs += wxS("for ") + FormatCount(formatter, run.length);
    }
    runs += stream.runs().size() > kRunsShown ? wxS(", ...).") : wxS(").");
    LogMessageText(runs);
}

// What the image lacks of what its tables say, shown on every run: a
// partition, a volume or an $MFT that runs past the end of the image.
void WarnOfShortImage(const NtfsVolume& volume, std::uint64_t image_size, const LocatedMft& located,
                      NumberFormatter& formatter)
{
    const wxString image_end = wxS(", past the end of the image at byte ") + FormatCount(formatter, image_size) + wxS(".");
    if (!volume.entry.empty() && volume.offset + volume.size > image_size) {
        LogShownWarningText(volume.entry + wxS(" runs to byte ") + FormatCount(formatter, volume.offset + volume.size) +
                            image_end);
    }
    const std::uint64_t volume_end = volume.offset + volume.boot.VolumeBytes();
    if (volume.boot.total_sectors <= (~std::uint64_t{0} - volume.offset) / volume.boot.bytes_per_sector &&
        volume_end > image_size) {
        LogShownWarningText(wxS("The boot sector of the volume at byte offset ") + FormatCount(formatter, volume.offset) +
                            wxS(" says it runs to byte ") + FormatCount(formatter, volume_end) + image_end);
    }
    for (const LostRange& range : located.lost.ranges()) {
        if (range.why == LostWhy::kPastImage) {
            LogShownWarningText(wxS("Record 0 says the $MFT is ") + FormatCount(formatter, located.stream->Size()) +
                                wxS(" bytes; pieces of it lie past the end of the image at byte ") +
                                FormatCount(formatter, image_size) + wxS("."));
            break;
        }
    }
}

}  // namespace

ImageOpenResult OpenImageInput(const wxString& path, unsigned long partition, std::optional<std::uint64_t> offset,
                               NumberFormatter& formatter, ImageMft& mft)
{
    ImageInput input;
    Diagnostics lines;
    if (!OpenImage(path, input, lines)) {
        LogDiagnostics(lines);
        return ImageOpenResult::kRefused;
    }
    FindNtfsVolumes(input, lines);
    if (input.volumes.empty() && input.others.empty() && !offset) {
        return ImageOpenResult::kNotAnImage;
    }
    LogDiagnostics(lines);
    std::optional<NtfsVolume> at_offset;
    if (offset) {
        at_offset = NtfsVolumeAtOffset(input, *offset);
        if (!at_offset) {
            LogErrorText(wxS("Image ") + path + wxS(" holds no NTFS volume at byte offset ") +
                         FormatCount(formatter, *offset) + wxS(": no NTFS boot sector lies there, nor a backup of one."));
            return ImageOpenResult::kRefused;
        }
    }
    const NtfsVolume* volume = at_offset ? &*at_offset : ChooseVolume(path, input, partition, formatter);
    if (volume == nullptr) {
        return ImageOpenResult::kRefused;
    }
    if (volume->bitlocker) {
        LogErrorText(BitLockerText(volume->offset, formatter));
        return ImageOpenResult::kRefused;
    }
    // The only NTFS volume read without being asked for may be a recovery
    // partition beside the encrypted system volume: the one not read is said.
    // A partition the image does not reach (a cut image, or one segment of a
    // set read alone) is evidence missing, whichever volume is read.
    for (const OtherVolume& other : input.others) {
        const wxString where = wxS("The partition at byte offset ") + FormatCount(formatter, other.partition.offset);
        if (other.kind == VolumeKind::kBitLocker && partition == 0 && !offset) {
            LogShownWarningText(where + wxS(" is BitLocker-encrypted and is not read: decrypt it first."));
        } else if (other.kind == VolumeKind::kPastImage) {
            LogShownWarningText(where + wxS(" lies past the end of the image at byte ") +
                                FormatCount(formatter, input.image->Size()) + wxS(": it is not read."));
        }
    }
    if (!volume->found.empty() && !offset && volume->offset != 0) {
        LogShownWarningText(wxS("No partition table: the NTFS volume at byte offset ") +
                            FormatCount(formatter, volume->offset) + wxS(" was ") + volume->found + wxS("."));
    }
    if (volume->backup_boot_sector) {
        LogWarningText(wxS("The boot sector of the volume at byte offset ") + FormatCount(formatter, volume->offset) +
                       wxS(" cannot be used; its backup at byte offset ") +
                       FormatCount(formatter, volume->boot_sector_offset) + wxS(" is used."));
    }
    if (volume->boot.record_size != 1024 && volume->boot.record_size != 4096) {
        LogErrorText(wxS("The volume's file records are ") + FormatCount(formatter, volume->boot.record_size) +
                     wxS(" bytes; only records of 1,024 and 4,096 bytes are read."));
        return ImageOpenResult::kRefused;
    }
    Diagnostics found;
    const LocatedMft located = LocateMft(input.image, volume->offset, volume->boot, found);
    LogDiagnostics(found);
    if (!located.stream) {
        return ImageOpenResult::kRefused;
    }
    WarnOfShortImage(*volume, input.image->Size(), located, formatter);
    mft.stream = located.stream;
    mft.volume_offset = volume->offset;
    mft.lost = located.lost;
    mft.bitmap = located.bitmap;
    mft.files = input.files;
    mft.record_size = located.record_size;
    if (mft.record_size != 1024) {  // as for an $MFT file of such records
        LogMessageText(wxString::Format(wxS("$MFT file records are %zu bytes each."), mft.record_size));
    }
    mft.found = wxS("Reading the $MFT of the NTFS volume ") + Where(*volume, formatter) + wxS(" of ") + input.kind +
                wxS(" ") + path + wxS(".\n");
    LogGeometry(*volume, *located.stream, formatter);
    return ImageOpenResult::kOpened;
}
