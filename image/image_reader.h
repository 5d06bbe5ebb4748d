#ifndef VARNETH_IMAGE_IMAGE_READER_H
#define VARNETH_IMAGE_IMAGE_READER_H

// The bytes of a disk or volume image, read by offset: a plain file or
// device, a split raw set, an Expert Witness image, or a file's bytes laid
// out in runs on another image (image/mapped_stream.h). Every reader is read
// from several threads at once; nothing is ever written to an image.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <wx/file.h>
#include <wx/string.h>

#include "base/diagnostics.h"

class ImageReader {
public:
    virtual ~ImageReader() = default;

    // The image's length in bytes.
    virtual std::uint64_t Size() const = 0;

    // Reads up to length bytes at offset into out: the count read (less only
    // where the image ends), or -1 after a failure, said in diagnostics.
    virtual long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                             Diagnostics& diagnostics) const = 0;

    // Reads the whole range, or says why not: false when the image ends
    // first or the read fails.
    bool ReadWhole(std::uint64_t offset, unsigned char* out, std::size_t length, Diagnostics& diagnostics) const
    {
        return ReadAt(offset, out, length, diagnostics) == static_cast<long long>(length);
    }

protected:
    // How much of length bytes at offset lies inside the image.
    std::size_t LengthInside(std::uint64_t offset, std::size_t length) const
    {
        return offset >= Size() ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(length, Size() - offset));
    }
};

// A file or device opened read-only, read with positioned reads.
class FileImage final : public ImageReader {
public:
    // Takes the open file; size: its length as measured when opened.
    FileImage(wxFile&& file, std::uint64_t size);
    std::uint64_t Size() const override { return size_; }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                     Diagnostics& diagnostics) const override;

private:
    wxFile file_;
    std::uint64_t size_;
};

// Segments read one after another as one image: NAME.001, NAME.002, …
class SplitImage final : public ImageReader {
public:
    void AddSegment(std::unique_ptr<FileImage> segment);
    std::size_t segment_count() const { return segments_.size(); }
    std::uint64_t Size() const override { return size_; }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                     Diagnostics& diagnostics) const override;

private:
    std::vector<std::unique_ptr<FileImage>> segments_;
    std::vector<std::uint64_t> starts_;  // each segment's first byte in the image
    std::uint64_t size_ = 0;
};

// Opens a plain file or device read-only; null (said in diagnostics) when it
// cannot be opened or measured, or is a segment of another kind.
std::unique_ptr<FileImage> OpenFileImage(const wxString& path, Diagnostics& diagnostics);

// False, said in diagnostics, when the segment at path is a FIFO (opening one
// waits for a writer for ever), a directory or another kind than a file or a
// device.
bool IsFileOrDeviceSegment(const wxString& path, Diagnostics& diagnostics);

#endif
