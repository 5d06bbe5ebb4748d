#include "archive/deflate_workers.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "archive/deflate_chunk.h"

// Each thread deflates with a deflater of its own, whose half megabyte of
// tables is made once a thread.
class DeflateWorkers::PieceDeflater final : public PoolWorker {
public:
    void Do(PoolJob& job) override
    {
        thread_local ChunkDeflater deflater;
        Piece& piece = static_cast<Piece&>(job);
        piece.deflated = deflater.Deflate(piece.input.data() + piece.dictionary_size,
                                          piece.input.size() - piece.dictionary_size, piece.dictionary_size,
                                          piece.last, piece.output);
    }
};

DeflateWorkers::DeflateWorkers(unsigned thread_count) : thread_count_(std::max(thread_count, 1u)) {}

// The threads start with the first piece that has more after it: a text of
// one piece (most reports of a small $MFT) is deflated by the caller, which
// would only wait for a thread to do it.
void DeflateWorkers::Queue(std::vector<std::uint8_t> input, std::size_t dictionary_size, bool last)
{
    if (!pool_) {
        pool_.emplace(last ? 0 : thread_count_, [](unsigned) { return std::make_unique<PieceDeflater>(); });
    }
    Piece& piece = pieces_.emplace_back();
    piece.input = std::move(input);
    piece.dictionary_size = dictionary_size;
    piece.last = last;
    pool_->HandOver(piece);
}

bool DeflateWorkers::TakeOldest(std::vector<std::uint8_t>& compressed)
{
    if (!pool_ || pool_->TakeOldest() == nullptr) {
        return false;
    }
    const bool deflated = pieces_.front().deflated;
    compressed.swap(pieces_.front().output);
    pieces_.pop_front();
    return deflated;
}
