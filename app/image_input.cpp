#include "app/image_input.h"

#include <algorithm>

#include <wx/log.h>

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

// A warning the console shows whatever the log level: what was read is not
// what a partition table names.
void LogWarningAlways(const wxString& text)
{
    const wxLogLevel level = wxLog::GetLogLevel();
    wxLog::SetLogLevel(std::max<wxLogLevel>(level, wxLOG_Warning));
    LogWarningText(text);
    wxLog::SetLogLevel(level);
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
    if (!volume->found.empty() && !offset && volume->offset != 0) {
        LogWarningAlways(wxS("no partition table: the NTFS volume at byte offset ") +
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
    mft.stream = located.stream;
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

wxString ImageEndText(const wxString& path, const MappedStream& stream, std::uint64_t recno, std::size_t record_size,
                      NumberFormatter& formatter)
{
    // The record's bytes may lie in several runs: each piece is looked at.
    const std::uint64_t start = recno * record_size;
    const std::uint64_t end = start + record_size;
    const std::uint64_t image_size = stream.image().Size();
    std::uint64_t covered = 0;
    bool past_image = false;
    for (const StreamRun& run : stream.runs()) {
        const std::uint64_t from = std::max(start, run.stream_offset);
        const std::uint64_t to = std::min(end, run.stream_offset + run.length);
        if (from >= to) {
            continue;
        }
        covered += to - from;
        past_image = past_image || (!run.sparse && run.image_offset + (to - run.stream_offset) > image_size);
    }
    if (past_image) {
        return wxS("The image ") + path + wxS(" ends at byte ") + FormatCount(formatter, image_size) +
               wxS(", inside the $MFT.");
    }
    if (covered < record_size) {  // the rest of the run list lies where the image could not be read
        return wxS("The $MFT's runs found in the image ") + path + wxS(" end before record ") +
               FormatCount(formatter, recno) + wxS(".");
    }
    return wxString();  // the record lies inside the image: the read itself failed, and said so
}
