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

#include "base/diagnostics.h"
#include "image/image_reader.h"
#include "image/mapped_stream.h"
#include "volume/boot_sector.h"

struct LocatedMft {
    std::shared_ptr<const MappedStream> stream;  // the $MFT's bytes, as a copied-out file would hold them
    std::size_t record_size = 0;
    bool from_mirror = false;
};

// The $MFT of the NTFS volume at volume_offset in image; no stream when
// neither record 0 nor its mirror copy gives one (said in diagnostics).
LocatedMft LocateMft(const std::shared_ptr<const ImageReader>& image, std::uint64_t volume_offset,
                     const NtfsBootSector& boot, Diagnostics& diagnostics);

#endif
