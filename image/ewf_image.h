#ifndef VARNETH_IMAGE_EWF_IMAGE_H
#define VARNETH_IMAGE_EWF_IMAGE_H

// An Expert Witness (EWF, .E01) image: the media it holds, read through
// libewf, its further segments (.E02, …) found beside the first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <wx/string.h>

#include "base/diagnostics.h"
#include "image/image_reader.h"

// The first eight bytes of every EWF segment file.
bool HasEwfSignature(const unsigned char* first_bytes, std::size_t length);

// The segment file that follows name in an EWF set: case.E09 -> case.E10,
// E99 -> EAA, EAZ -> EBA, EZZ -> FAA; empty when there is none.
wxString NextEwfSegmentName(const wxString& name);

class EwfImage final : public ImageReader {
public:
    ~EwfImage() override;
    EwfImage(const EwfImage&) = delete;
    EwfImage& operator=(const EwfImage&) = delete;

    // Null, said in diagnostics, when the segments cannot be found or opened,
    // or do not hold the media they state (a segment missing or cut short).
    static std::unique_ptr<EwfImage> Open(const wxString& first_segment, Diagnostics& diagnostics);

    int segment_count() const { return static_cast<int>(segment_names_.size()); }
    // Every segment file, the first included.
    const std::vector<wxString>& segment_names() const { return segment_names_; }
    std::uint64_t Size() const override { return size_; }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                     Diagnostics& diagnostics) const override;

private:
    struct Handle;
    EwfImage() = default;

    // libewf keeps one read position and chunk cache per handle: the reads
    // of all threads take turns.
    mutable std::mutex lock_;
    std::unique_ptr<Handle> handle_;
    std::uint64_t size_ = 0;
    std::vector<wxString> segment_names_;
};

#endif
