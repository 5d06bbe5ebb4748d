#ifndef VARNETH_VOLUME_MFT_LOCATION_H
#define VARNETH_VOLUME_MFT_LOCATION_H

// Where a volume keeps its $MFT: record 0 (the $MFT's own record, at the
// cluster the boot sector names) holds the unnamed $DATA whose run list lays
// the whole $MFT out on the volume; when that list grew too long for the
// record, record 0's $ATTRIBUTE_LIST names the extension records that carry
// the rest. Record 0 that cannot be used is taken from its copy in $MFTMirr.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/diagnostics.h"
#include "image/image_reader.h"
#include "image/mapped_stream.h"
#include "mft/lost_records.h"
#include "volume/boot_sector.h"

// The $MFT's own bitmap: a bit for each record, set for a record in use.
struct MftBitmap {
    std::vector<unsigned char> bits;  // of records 0 to records - 1 at most
    std::uint64_t records = 0;

    // The bits set for the records that no lost range holds.
    std::uint64_t InUse(const LostRecords& lost) const;
};

struct LocatedMft {
    std::shared_ptr<const MappedStream> stream;  // the $MFT's bytes, as a copied-out file would hold them
    std::size_t record_size = 0;
    bool from_mirror = false;
    // The records its layout puts where the image has no bytes: past the
    // image's end, or in no run (a gap in the run list, a sparse run).
    LostRecords lost;
    // Its bitmap, for the records the size tells; none when it cannot be read.
    std::optional<MftBitmap> bitmap;
};

// The $MFT of the NTFS volume at volume_offset in image; no stream when
// neither record 0 nor its mirror copy gives one (said in diagnostics).
LocatedMft LocateMft(const std::shared_ptr<const ImageReader>& image, std::uint64_t volume_offset,
                     const NtfsBootSector& boot, Diagnostics& diagnostics);

#endif
