#ifndef VARNETH_APP_DEFLATE_WORKERS_H
#define VARNETH_APP_DEFLATE_WORKERS_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Worker threads that deflate queued pieces of a text side by side (see
// ChunkDeflater) and hand the results back in the order the pieces were
// queued. Only the thread that owns the object queues and takes; the
// destructor stops the workers, drops what is unfinished, and joins them.
class DeflateWorkers {
public:
    explicit DeflateWorkers(unsigned thread_count);
    ~DeflateWorkers();
    DeflateWorkers(const DeflateWorkers&) = delete;
    DeflateWorkers& operator=(const DeflateWorkers&) = delete;

    // Queues the piece input[dictionary_size, end), its dictionary being
    // input[0, dictionary_size).
    void Queue(std::vector<std::uint8_t> input, std::size_t dictionary_size, bool last);
    // Pieces queued and not taken yet.
    std::size_t Waiting() const { return jobs_.size(); }
    // Waits for the oldest piece queued and not taken; false if deflating it
    // failed or none is queued.
    bool TakeOldest(std::vector<std::uint8_t>& compressed);

private:
    struct Job {
        std::vector<std::uint8_t> input;
        std::size_t dictionary_size = 0;
        bool last = false;
        bool started = false;
        bool done = false;
        bool deflated = false;
        std::vector<std::uint8_t> output;
    };

    void Work();

    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<Job> jobs_;  // oldest first; a job stays here until taken
    bool stopping_ = false;
    const unsigned thread_count_;
    std::vector<std::thread> threads_;  // last: started when everything they use is made
};

#endif
