#include "app/deflate_workers.h"

#include <algorithm>
#include <utility>

#include "app/deflate_chunk.h"

DeflateWorkers::DeflateWorkers(unsigned thread_count) : thread_count_(std::max(thread_count, 1u)) {}

DeflateWorkers::~DeflateWorkers()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

// The threads start with the first piece that has more after it: a text of
// one piece (most reports of a small $MFT) is deflated by the caller, which
// would only wait for a thread to do it.
void DeflateWorkers::Queue(std::vector<std::uint8_t> input, std::size_t dictionary_size, bool last)
{
    if (threads_.empty() && last) {
        Job& job = jobs_.emplace_back();
        thread_local ChunkDeflater deflater;  // its half megabyte of tables made once a thread
        job.deflated = deflater.Deflate(input.data() + dictionary_size, input.size() - dictionary_size,
                                        dictionary_size, true, job.output);
        job.started = job.done = true;
        return;
    }
    while (threads_.size() < thread_count_) {
        threads_.emplace_back([this] { Work(); });
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        Job& job = jobs_.emplace_back();
        job.input = std::move(input);
        job.dictionary_size = dictionary_size;
        job.last = last;
    }
    queued_.notify_one();
}

bool DeflateWorkers::TakeOldest(std::vector<std::uint8_t>& compressed)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (jobs_.empty()) {
        return false;
    }
    finished_.wait(lock, [this] { return jobs_.front().done; });
    const bool deflated = jobs_.front().deflated;
    compressed.swap(jobs_.front().output);
    jobs_.pop_front();
    return deflated;
}

// A job's place in the deque does not move while it runs: the owner pops only
// finished jobs from the front and pushes at the back, and std::deque keeps
// references to the other elements valid through both.
void DeflateWorkers::Work()
{
    ChunkDeflater deflater;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto unstarted = [this] {
            return std::find_if(jobs_.begin(), jobs_.end(), [](const Job& job) { return !job.started; });
        };
        queued_.wait(lock, [&] { return stopping_ || unstarted() != jobs_.end(); });
        if (stopping_) {
            return;
        }
        Job& job = *unstarted();
        job.started = true;
        lock.unlock();
        std::vector<std::uint8_t> output;
        const bool deflated = deflater.Deflate(job.input.data() + job.dictionary_size,
                                               job.input.size() - job.dictionary_size, job.dictionary_size, job.last,
                                               output);
        lock.lock();
        job.output = std::move(output);
        job.deflated = deflated;
        job.done = true;
        finished_.notify_all();
    }
}
