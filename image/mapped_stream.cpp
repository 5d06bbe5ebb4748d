#include "image/mapped_stream.h"

#include <algorithm>
#include <cstring>

MappedStream::MappedStream(std::shared_ptr<const ImageReader> image, std::vector<StreamRun> runs,
                           std::uint64_t size, std::uint64_t initialized_size)
    : image_(std::move(image)), runs_(std::move(runs)), size_(size), initialized_size_(std::min(initialized_size, size))
{
}

long long MappedStream::ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                               Diagnostics& diagnostics) const
{
    length = LengthInside(offset, length);
    std::size_t done = 0;
    while (done < length) {
        const std::uint64_t at = offset + done;
        const std::size_t left = length - done;
        if (at >= initialized_size_) {
            std::memset(out + done, 0, left);  // never written
            return static_cast<long long>(length);
        }
        // The run holding at: the last that starts at or before it.
        const auto after = std::upper_bound(runs_.begin(), runs_.end(), at, [](std::uint64_t value, const StreamRun& run) {
            return value < run.stream_offset;
        });
        if (after == runs_.begin() || at - std::prev(after)->stream_offset >= std::prev(after)->length) {
            break;  // no run covers it
        }
        const StreamRun& run = *std::prev(after);
        const std::uint64_t inside = at - run.stream_offset;
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>({left, run.length - inside, initialized_size_ - at}));
        if (run.sparse) {
            std::memset(out + done, 0, want);
            done += want;
            continue;
        }
        const long long got = image_->ReadAt(run.image_offset + inside, out + done, want, diagnostics);
        if (got < 0) {
            return -1;
        }
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < want) {
            break;  // the image ends inside the run
        }
    }
    return static_cast<long long>(done);
}
