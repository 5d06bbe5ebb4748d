#ifndef VARNETH_TESTS_SUPPORT_MEMORY_IMAGE_H
#define VARNETH_TESTS_SUPPORT_MEMORY_IMAGE_H

// An image held in memory, read as the tool reads a file or device: reads
// past its end come back short.

#include <algorithm>
#include <cstring>

#include "image/image_reader.h"
#include "support/record_builder.h"

namespace varneth_test {

class MemoryImage final : public ImageReader {
public:
    explicit MemoryImage(Bytes bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t Size() const override { return bytes_.size(); }
    long long ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length, Diagnostics&) const override
    {
        if (offset >= bytes_.size() || length == 0) {
            return 0;  // out may be null when nothing is asked for
        }
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(length, bytes_.size() - offset));
        std::memcpy(out, bytes_.data() + offset, count);
        return static_cast<long long>(count);
    }

private:
    Bytes bytes_;
};

}  // namespace varneth_test

#endif
