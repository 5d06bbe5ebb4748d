#include "volume/mft_location.h"

#include <algorithm>
#include <bitset>
#include <limits>
#include <optional>
#include <set>
#include <vector>

#include "mft/attribute_list.h"
#include "mft/attribute_walk.h"
#include "mft/data_runs.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "mft/record_size.h"
#include "mft/record_source.h"

namespace {

// A list of the $MFT's own attributes longer than this is not a real one.
constexpr std::uint64_t kLargestAttributeList = std::uint64_t{1} << 20;
// A bitmap of the $MFT's largest record count (2^32 records).
constexpr std::uint64_t kLargestBitmap = std::uint64_t{1} << 29;

struct Volume {
    const std::shared_ptr<const ImageReader>& image;
    std::uint64_t offset;
    const NtfsBootSector& boot;
};

// One piece of the $MFT's $DATA: the runs one attribute header lays out.
struct Piece {
    std::uint64_t start_vcn = 0;
    std::vector<DataRun> runs;
};

// The $MFT's sizes, from the piece that starts at VCN 0.
struct MftSizes {
    std::uint64_t real = 0;
    std::uint64_t initialized = 0;
};

bool ClusterOffset(const Volume& volume, std::uint64_t cluster, std::uint64_t& offset)
{
    const std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();
    if (cluster > (largest - volume.offset) / volume.boot.cluster_size) {
        return false;
    }
    offset = volume.offset + cluster * volume.boot.cluster_size;
    return true;
}

// The runs as stream runs of the image; false when a run lies past any
// offset, in the image or in the stream (where offsets that wrapped would
// put the runs out of order).
bool ToStreamRuns(const Volume& volume, const std::vector<DataRun>& runs, std::vector<StreamRun>& stream_runs)
{
    const std::uint64_t clusters_reached = std::numeric_limits<std::uint64_t>::max() / volume.boot.cluster_size;
    for (const DataRun& run : runs) {
        if (run.vcn > clusters_reached || run.clusters > clusters_reached - run.vcn) {
            return false;
        }
        StreamRun stream_run;
        stream_run.stream_offset = run.vcn * volume.boot.cluster_size;
        stream_run.length = run.clusters * volume.boot.cluster_size;
        stream_run.sparse = run.sparse;
        if (!run.sparse && (!ClusterOffset(volume, run.lcn, stream_run.image_offset) ||
                            stream_run.image_offset > std::numeric_limits<std::uint64_t>::max() - stream_run.length)) {
            return false;
        }
        stream_runs.push_back(stream_run);
    }
    return true;
}

// The unnamed non-resident $DATA pieces of a decoded record, with their runs.
void CollectPieces(const unsigned char* buffer, std::size_t record_size, const MFTFileRecord& record,
                   std::vector<Piece>& pieces, MftSizes* sizes, Diagnostics& diagnostics)
{
    const ByteReader bytes(buffer, record_size);
    for (const MFTDataAttr* data : record.data_attr_array) {
        if (data->resident || data->name_length != 0) {
            continue;
        }
        Piece piece;
        piece.start_vcn = data->start_vcn;
        ByteReader attribute = ByteReader(bytes).ClampedSubReader(data->attr_offset, data->attr_length);
        DecodeDataRuns(attribute.ClampedSubReader(data->run_list_offset, data->attr_length), data->start_vcn,
                       data->last_vcn, piece.runs, diagnostics);
        if (data->start_vcn == 0 && sizes != nullptr) {
            sizes->real = data->real_size;
            sizes->initialized = data->init_size;
        }
        if (!piece.runs.empty()) {
            pieces.push_back(std::move(piece));
        }
    }
}

// The entries of record 0's attribute list: resident in the record, or in
// clusters its own run list names.
bool ReadAttributeList(const Volume& volume, const unsigned char* buffer, std::size_t record_size,
                       const MFTAttrHeaderFields& list, std::vector<AttributeListEntry>& entries, Diagnostics& diagnostics)
{
    const ByteReader bytes(buffer, record_size);
    if (list.resident) {
        DecodeAttributeList(bytes.ClampedSubReader(std::uint64_t{list.attr_offset} + list.value_offset, list.value_length),
                            entries, diagnostics);
        return true;
    }
    std::vector<DataRun> runs;
    ByteReader attribute = bytes.ClampedSubReader(list.attr_offset, list.attr_length);
    DecodeDataRuns(attribute.ClampedSubReader(list.run_list_offset, list.attr_length), 0, list.last_vcn, runs,
                   diagnostics);
    std::vector<StreamRun> stream_runs;
    if (list.real_size > kLargestAttributeList || !ToStreamRuns(volume, runs, stream_runs)) {
        diagnostics.Warning(wxS("The $MFT's attribute list cannot be read."));
        return false;
    }
    const MappedStream value(volume.image, std::move(stream_runs), list.real_size, list.init_size);
    std::vector<unsigned char> bytes_of_list(static_cast<std::size_t>(list.real_size));
    if (!value.ReadWhole(0, bytes_of_list.data(), bytes_of_list.size(), diagnostics)) {
        diagnostics.Warning(wxS("The $MFT's attribute list cannot be read."));
        return false;
    }
    DecodeAttributeList(ByteReader(bytes_of_list.data(), bytes_of_list.size()), entries, diagnostics);
    return true;
}

// The pieces in the extension records that record 0's list names, read
// through the part of the $MFT already laid out (where NTFS keeps them).
void CollectListedPieces(const Volume& volume, const std::vector<AttributeListEntry>& entries,
                         const MappedStream& known_part, std::vector<Piece>& pieces, Diagnostics& diagnostics)
{
    const std::size_t record_size = volume.boot.record_size;
    const RecordSource records(std::shared_ptr<const ImageReader>(&known_part, [](const ImageReader*) {}),
                               record_size);
    std::set<std::uint64_t> read;
    std::vector<unsigned char> buffer(record_size);
    MFTFileRecord record;
    for (const AttributeListEntry& entry : entries) {
        if (entry.attr_type != kAttrTypeData || entry.segment_recno == 0 || !read.insert(entry.segment_recno).second) {
            continue;
        }
        Diagnostics lines;
        if (records.Read(entry.segment_recno, buffer.data(), record_size, lines) != RecordSource::ReadResult::kWhole) {
            diagnostics.Warning(wxString::Format(
                wxS("Extension record %llu of the $MFT lies outside the part of the $MFT found so far."),
                static_cast<unsigned long long>(entry.segment_recno)));
            continue;
        }
        record.Clear();
        if (CreateMFTFileRecord(buffer.data(), &record, entry.segment_recno, lines, record_size) != 0) {
            diagnostics.Append(lines);
            continue;
        }
        CollectPieces(buffer.data(), record_size, record, pieces, nullptr, diagnostics);
    }
}

// The pieces in VCN order. Of two pieces that claim one cluster the one met
// first is kept (said once) and the rest of the later one still joins; a
// VCN range that no piece covers is left out, and the records there are lost.
std::vector<DataRun> JoinPieces(std::vector<Piece>& pieces, Diagnostics& diagnostics)
{
    // Stable: of two pieces that claim one VCN, the one met first wins, on every run.
    std::stable_sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.start_vcn < b.start_vcn; });
    std::vector<DataRun> runs;
    std::uint64_t next_vcn = 0;
    bool overlap_said = false;
    for (const Piece& piece : pieces) {
        if (piece.start_vcn > next_vcn) {
            diagnostics.Warning(wxString::Format(wxS("The $MFT's run list has a gap at cluster %llu of the $MFT."),
                                                 static_cast<unsigned long long>(next_vcn)));
        }
        for (DataRun run : piece.runs) {
            const std::uint64_t run_end = run.vcn + run.clusters;
            if (run.vcn < next_vcn && !overlap_said) {
                diagnostics.Warning(wxString::Format(
                    wxS("The $MFT's run list lays out cluster %llu of the $MFT twice; the first run is kept."),
                    static_cast<unsigned long long>(run.vcn)));
                overlap_said = true;
            }
            if (run_end <= next_vcn) {
                continue;
            }
            if (run.vcn < next_vcn) {  // the part not laid out yet
                const std::uint64_t cut = next_vcn - run.vcn;
                run.lcn += run.sparse ? 0 : cut;
                run.vcn = next_vcn;
                run.clusters -= cut;
            }
            runs.push_back(run);
            next_vcn = run_end;
        }
    }
    return runs;
}

// Records lie in the image where every byte of them does: the layout's holes
// (no run, a sparse run) and its runs past the end of the image lose the
// records they touch, which the run names without reading them. Bytes past
// the initialized size read as zeros where a run lays them out, but no
// further than the image reaches: zeros past that are no records.
LostRecords LayoutLosses(const Volume& volume, const std::vector<StreamRun>& runs, std::uint64_t size,
                         std::uint64_t initialized, std::size_t record_size)
{
    const std::uint64_t image_size = volume.image->Size();
    const std::uint64_t room = volume.offset < image_size ? image_size - volume.offset : 0;
    const std::uint64_t records = size / record_size;
    LostRecords lost;
    const auto lose = [&](std::uint64_t from, std::uint64_t to, LostWhy why) {
        to = std::min(to, size);
        if (from < to) {
            lost.Add(from / record_size, std::min(records, to / record_size + (to % record_size != 0)), why);
        }
    };
    std::uint64_t next = 0;
    for (const StreamRun& run : runs) {
        const std::uint64_t end = run.stream_offset + run.length;
        lose(next, run.stream_offset, LostWhy::kNotLaidOut);
        next = std::max(next, end);
        if (run.sparse) {
            lose(run.stream_offset, end, LostWhy::kNotLaidOut);
            continue;
        }
        const std::uint64_t inside = run.image_offset < image_size ? image_size - run.image_offset : 0;
        const std::uint64_t past = run.stream_offset + std::min(inside, run.length);
        lose(past, std::min(end, initialized), LostWhy::kPastImage);
        lose(std::max({run.stream_offset, initialized, room}), end, LostWhy::kPastImage);
    }
    lose(next, size, LostWhy::kNotLaidOut);
    return lost;
}

// The $MFT's own bitmap, for the records the size tells; none when it
// cannot be read.
std::optional<MftBitmap> ReadBitmap(const Volume& volume, const unsigned char* buffer, std::size_t record_size,
                                    std::uint64_t records)
{
    MFTAttrHeaderFields header;
    std::vector<MFTAttrHeader*> unused;
    Diagnostics unsaid;
    const int walked =
        PopulateAttrHeaderArray(buffer, &unused, unsaid, nullptr, record_size, nullptr, nullptr, nullptr, &header);
    for (MFTAttrHeader* decoded : unused) {
        delete decoded;
    }
    if (walked != 0 || header.attr_type != kAttrTypeBitmap) {
        return std::nullopt;
    }
    MftBitmap bitmap;
    bitmap.records = records;
    // No more bytes than the image holds: a larger bitmap is damage.
    const std::uint64_t wanted = std::min({records / 8 + 1, kLargestBitmap, volume.image->Size()});
    const ByteReader bytes(buffer, record_size);
    if (header.resident) {
        const ByteReader value =
            bytes.ClampedSubReader(std::uint64_t{header.attr_offset} + header.value_offset, header.value_length);
        bitmap.bits.resize(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, value.size())));
        for (std::size_t i = 0; i < bitmap.bits.size(); ++i) {
            bitmap.bits[i] = ByteReader(value).U8At(i);
        }
        return bitmap;
    }
    std::vector<DataRun> runs;
    const ByteReader attribute = bytes.ClampedSubReader(header.attr_offset, header.attr_length);
    DecodeDataRuns(ByteReader(attribute).ClampedSubReader(header.run_list_offset, header.attr_length), 0,
                   header.last_vcn, runs, unsaid);
    std::vector<StreamRun> stream_runs;
    if (!ToStreamRuns(volume, runs, stream_runs)) {
        return std::nullopt;
    }
    const MappedStream value(volume.image, std::move(stream_runs), header.real_size, header.init_size);
    bitmap.bits.resize(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, header.real_size)));
    if (!value.ReadWhole(0, bitmap.bits.data(), bitmap.bits.size(), unsaid)) {
        return std::nullopt;
    }
    return bitmap;
}

// No $MFT is larger than its volume, nor holds more records than NTFS numbers.
void BoundToVolume(const Volume& volume, std::size_t record_size, MftSizes& sizes, Diagnostics& diagnostics)
{
    const NtfsBootSector& boot = volume.boot;
    const std::uint64_t largest_number = std::uint64_t{1} << 32;
    const std::uint64_t volume_bytes = boot.total_sectors > std::numeric_limits<std::uint64_t>::max() / boot.bytes_per_sector
                                           ? std::numeric_limits<std::uint64_t>::max()
                                           : boot.VolumeBytes();
    const std::uint64_t largest = std::min(volume_bytes / record_size, largest_number) * record_size;
    if (sizes.real > largest) {
        diagnostics.Warning(wxString::Format(
            wxS("The $MFT's size of %llu bytes is more than its volume holds; only its first %llu bytes are read."),
            static_cast<unsigned long long>(sizes.real), static_cast<unsigned long long>(largest)));
        sizes.real = largest;
    }
}

// The $MFT laid out by the record 0 at cluster; no stream when it cannot be.
LocatedMft FromRecordZero(const Volume& volume, std::uint64_t cluster, Diagnostics& diagnostics)
{
    LocatedMft located;
    std::uint64_t offset = 0;
    const std::size_t record_size = volume.boot.record_size;
    std::vector<unsigned char> buffer(record_size);
    MFTFileRecord record;
    if (!ClusterOffset(volume, cluster, offset) || !volume.image->ReadWhole(offset, buffer.data(), buffer.size(), diagnostics)) {
        diagnostics.Warning(wxS("Record 0 lies past the end of the image."));
        return located;
    }
    // The sizes the tool reads (1024 and 4096) are told apart by the
    // record's own header, as for an $MFT file.
    if (RecordSizeOfFirstRecord(ByteReader(buffer.data(), buffer.size())) != record_size) {
        diagnostics.Warning(wxString::Format(wxS("Record 0 is not a record of %zu bytes, as the boot sector says."),
                                             record_size));
        return located;
    }
    record.Clear();
    if (CreateMFTFileRecord(buffer.data(), &record, 0, diagnostics, record_size) != 0) {
        return located;
    }
    std::vector<Piece> pieces;
    MftSizes sizes;
    CollectPieces(buffer.data(), record_size, record, pieces, &sizes, diagnostics);
    if (pieces.empty() || pieces.front().start_vcn != 0 || sizes.real == 0) {
        diagnostics.Warning(wxS("Record 0 holds no run list of the $MFT."));
        return located;
    }
    if (record.attribute_list.attr_type == kAttrTypeAttributeList) {
        std::vector<AttributeListEntry> entries;
        if (ReadAttributeList(volume, buffer.data(), record_size, record.attribute_list, entries, diagnostics)) {
            std::vector<StreamRun> known;
            if (ToStreamRuns(volume, JoinPieces(pieces, diagnostics), known)) {
                const MappedStream known_part(volume.image, std::move(known), sizes.real, sizes.initialized);
                CollectListedPieces(volume, entries, known_part, pieces, diagnostics);
            }
        }
    }
    BoundToVolume(volume, record_size, sizes, diagnostics);
    std::vector<StreamRun> stream_runs;
    if (!ToStreamRuns(volume, JoinPieces(pieces, diagnostics), stream_runs)) {
        diagnostics.Warning(wxS("The $MFT's run list names clusters past any image."));
        return located;
    }
    // No cluster of a sparse run holds a record: its records are lost, not zeros.
    stream_runs.erase(std::remove_if(stream_runs.begin(), stream_runs.end(),
                                     [](const StreamRun& run) { return run.sparse; }),
                      stream_runs.end());
    located.lost = LayoutLosses(volume, stream_runs, sizes.real, sizes.initialized, record_size);
    located.bitmap = ReadBitmap(volume, buffer.data(), record_size, sizes.real / record_size);
    located.stream = std::make_shared<MappedStream>(volume.image, std::move(stream_runs), sizes.real, sizes.initialized);
    located.record_size = record_size;
    return located;
}

}  // namespace

std::uint64_t MftBitmap::InUse(const LostRecords& lost) const
{
    const std::uint64_t reached = std::min<std::uint64_t>(records, std::uint64_t{bits.size()} * 8);
    // The bits set from first to end: whole bytes at a time between the ends.
    const auto set_between = [this](std::uint64_t first, std::uint64_t end) {
        std::uint64_t set = 0;
        for (; first < end && first % 8 != 0; ++first) {
            set += (bits[first / 8] >> (first % 8)) & 1u;
        }
        for (; first + 8 <= end; first += 8) {
            set += static_cast<std::uint64_t>(std::bitset<8>(bits[first / 8]).count());
        }
        for (; first < end; ++first) {
            set += (bits[first / 8] >> (first % 8)) & 1u;
        }
        return set;
    };
    std::uint64_t set = set_between(0, reached);
    for (const LostRange& range : lost.ranges()) {
        set -= set_between(std::min(range.records.first, reached), std::min(range.records.end, reached));
    }
    return set;
}

LocatedMft LocateMft(const std::shared_ptr<const ImageReader>& image, std::uint64_t volume_offset,
                     const NtfsBootSector& boot, Diagnostics& diagnostics)
{
    const Volume volume{image, volume_offset, boot};
    Diagnostics primary_lines;
    LocatedMft located = FromRecordZero(volume, boot.mft_cluster, primary_lines);
    if (located.stream) {
        diagnostics.Append(primary_lines);
        return located;
    }
    Diagnostics mirror_lines;
    located = FromRecordZero(volume, boot.mft_mirror_cluster, mirror_lines);
    if (located.stream) {
        diagnostics.Warning(wxS("Record 0 of the $MFT cannot be used; its copy in $MFTMirr is used."));
        diagnostics.Append(mirror_lines);
        located.from_mirror = true;
        return located;
    }
    diagnostics.AppendShown(primary_lines);  // a cut image, a record never written, ...
    diagnostics.Error(wxS("Neither record 0 of the $MFT nor its copy in $MFTMirr lays out the $MFT."));
    return located;
}
