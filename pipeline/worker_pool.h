#ifndef VARNETH_PIPELINE_WORKER_POOL_H
#define VARNETH_PIPELINE_WORKER_POOL_H

// The project's one pool of threads. The thread that owns a pool hands it
// jobs in order; its threads do them side by side, each with a worker of its
// own that keeps what it needs from job to job; the owner takes the jobs
// back strictly in the order it handed them over. Only the owner hands over,
// takes and stops; a job, until it is taken, is the pool's to read and
// write. How many jobs are in flight is the owner's to bound: it takes
// before it hands over more. The pool's threads run nothing but the jobs'
// work: they neither log nor write.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// One piece of work; what it holds and what comes of it are its owner's.
class PoolJob {
public:
    virtual ~PoolJob() = default;
};

// What one thread keeps from job to job (its reader, its caches, its
// buffers), and the work it does on each job it takes.
class PoolWorker {
public:
    virtual ~PoolWorker() = default;
    virtual void Do(PoolJob& job) = 0;
};

// Threads for a pool: one a core, up to four. The owner reads or writes
// alongside them, and more threads would mostly wait for it.
unsigned WorkerCount();

class WorkerPool {
public:
    // Makes the worker of thread `index`, on the owner's thread.
    using WorkerMaker = std::function<std::unique_ptr<PoolWorker>(unsigned index)>;

    // No thread starts before the first job is handed over. With no thread,
    // the owner does each job itself when it takes it: a single job would
    // only be waited for.
    WorkerPool(unsigned thread_count, WorkerMaker make_worker);
    ~WorkerPool();  // stops
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The job must live until it is taken or the pool has stopped. After a
    // stop, nothing is taken any more.
    void HandOver(PoolJob& job);
    // Handed over and not taken yet.
    std::size_t InFlight() const;
    // Waits for the oldest job handed over and not taken to be done; null if
    // there is none.
    PoolJob* TakeOldest();
    // Drops the jobs no thread has started, lets the started ones end, and
    // joins every thread. Whatever ended the owner's use of the pool, no
    // thread outlives this call.
    void Stop();

private:
    struct Handed {
        PoolJob* job = nullptr;
        bool done = false;
    };

    void Start();
    void Work(PoolWorker& worker);

    const unsigned thread_count_;
    const WorkerMaker make_worker_;
    std::vector<std::unique_ptr<PoolWorker>> workers_;  // one a thread, or the owner's one

    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable handed_over_;  // the threads wait on it
    std::condition_variable job_done_;     // the owner
    std::deque<Handed> jobs_;  // oldest first, until taken; a job does not move in it while it runs
    std::size_t started_ = 0;  // the first ones of jobs_ are started
    bool stopping_ = false;

    std::vector<std::thread> threads_;  // the owner's alone
};

#endif
