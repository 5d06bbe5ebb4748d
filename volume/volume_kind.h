#ifndef VARNETH_VOLUME_VOLUME_KIND_H
#define VARNETH_VOLUME_VOLUME_KIND_H

// What a partition holds, told by its first bytes: the volume the tool
// reads, one it cannot read (encrypted), or another file system, so that a
// listing says what each partition is.

#include <cstdint>

#include <wx/string.h>

#include "image/image_reader.h"

// kPastImage: the partition starts where the image has no bytes (a cut image,
// or a segment of a set read alone).
enum class VolumeKind { kNtfs, kBitLocker, kFat12, kFat16, kFat32, kExFat, kExt2, kExt3, kExt4, kPastImage, kUnknown };

// The kind of the volume whose first byte is at offset in image; kUnknown
// when its first sectors cannot be read or match none.
VolumeKind DetectVolumeKind(const ImageReader& image, std::uint64_t offset);

// True when the first sector at offset carries the signature of a volume
// encrypted by BitLocker.
bool IsBitLockerAt(const ImageReader& image, std::uint64_t offset);

// "FAT32", "ext4", "BitLocker-encrypted", "past the end of the image", "unknown", ...
wxString VolumeKindText(VolumeKind kind);

#endif
