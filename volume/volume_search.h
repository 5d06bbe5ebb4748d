#ifndef VARNETH_VOLUME_VOLUME_SEARCH_H
#define VARNETH_VOLUME_VOLUME_SEARCH_H

// The NTFS volumes of an image that holds no partition table (none made, or
// one wiped), found by their boot sectors: the image's last sector may be a
// volume's backup boot sector, which names the volume's size and so its
// start; and volumes begin where partitioning tools put them (sector 63,
// each MiB), one after another. The look reads some hundreds of sectors,
// never the image through, however large it is.

#include <vector>

#include "image/image_reader.h"
#include "volume/volume_input.h"

// The volumes found, by offset; each with how it was found.
std::vector<NtfsVolume> SearchNtfsVolumes(const ImageReader& image);

#endif
