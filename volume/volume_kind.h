#ifndef VARNETH_VOLUME_VOLUME_KIND_H
#define VARNETH_VOLUME_VOLUME_KIND_H

// What a partition holds, told by its first bytes: the volume the tool
// reads, one it cannot read (encrypted), or another file system, so that a
// listing says what each partition is.

#include <cstdint>

#include <wx/string.h>

#include "image/image_reader.h"

enum class VolumeKind { kNtfs, kBitLocker, kFat12, kFat16, kFat32, kExFat, kExt2, kExt3, kExt4, kUnknown };

// The kind of the volume whose first byte is at offset in image; kUnknown
// when its first sectors cannot be read or match none.
VolumeKind DetectVolumeKind(const ImageReader& image, std::uint64_t offset);

// True when the first sector at offset carries the signature of a volume
// encrypted by BitLocker.
bool IsBitLockerAt(const ImageReader& image, std::uint64_t offset);

// "FAT32", "ext4", "BitLocker-encrypted", "unknown", ...
wxString VolumeKindText(VolumeKind kind);

#endif
