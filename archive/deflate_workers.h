#ifndef VARNETH_ARCHIVE_DEFLATE_WORKERS_H
#define VARNETH_ARCHIVE_DEFLATE_WORKERS_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "pipeline/worker_pool.h"

// Deflates queued pieces of a text side by side (see ChunkDeflater) on a
// WorkerPool and hands the results back in the order the pieces were queued.
// Only the thread that owns the object queues and takes; the destructor
// stops the threads, drops what is unfinished, and joins them.
class DeflateWorkers {
public:
    explicit DeflateWorkers(unsigned thread_count);
    DeflateWorkers(const DeflateWorkers&) = delete;
    DeflateWorkers& operator=(const DeflateWorkers&) = delete;

    // Queues the piece input[dictionary_size, end), its dictionary being
    // input[0, dictionary_size).
    void Queue(std::vector<std::uint8_t> input, std::size_t dictionary_size, bool last);
    // Pieces queued and not taken yet.
    std::size_t Waiting() const { return pieces_.size(); }
    // Waits for the oldest piece queued and not taken; false if deflating it
    // failed or none is queued.
    bool TakeOldest(std::vector<std::uint8_t>& compressed);

private:
    struct Piece final : PoolJob {
        std::vector<std::uint8_t> input;
        std::size_t dictionary_size = 0;
        bool last = false;
        bool deflated = false;
        std::vector<std::uint8_t> output;
    };
    class PieceDeflater;

    const unsigned thread_count_;
    std::deque<Piece> pieces_;  // oldest first, until taken; a piece does not move in it
    std::optional<WorkerPool> pool_;  // last: stopped before the pieces go; made with the first piece
};

#endif
