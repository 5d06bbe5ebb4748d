#ifndef VARNETH_IMAGE_MAPPED_STREAM_H
#define VARNETH_IMAGE_MAPPED_STREAM_H

// A file's bytes as a volume lays them out: runs of clusters somewhere in an
// image, runs that are sparse (read as zeros), and, past the initialized
// size, bytes that were never written (zeros too). Reading it is reading
// the file, as if it had been copied out.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/image_reader.h"

struct StreamRun {
    std::uint64_t stream_offset = 0;  // where the run starts in the file
    std::uint64_t length = 0;         // bytes
    bool sparse = false;              // no clusters: zeros
    std::uint64_t image_offset = 0;   // where its bytes lie in the image
};

class MappedStream final : public ImageReader {
public:
    // runs: in file order, each starting where the last ended; size: the
    // file's length, initialized_size: how much of it was ever written.
    // Bytes of the file that no run covers read short, as the end of an
    // image would.
    MappedStream(std::shared_ptr<const ImageReader> image, std::vector<StreamRun> runs, std::uint64_t size,
                 std::uint64_t initialized_size);

    std::uint64_t Size() const override { return size_; }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                     Diagnostics& diagnostics) const override;

    const ImageReader& image() const { return *image_; }
    const std::vector<StreamRun>& runs() const { return runs_; }

private:
    std::shared_ptr<const ImageReader> image_;
    std::vector<StreamRun> runs_;
    std::uint64_t size_;
    std::uint64_t initialized_size_;
};

#endif
