#include "pipeline/worker_pool.h"

#include <algorithm>
#include <utility>

unsigned WorkerCount()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

WorkerPool::WorkerPool(unsigned thread_count, WorkerMaker make_worker)
    : thread_count_(thread_count), make_worker_(std::move(make_worker))
{
}

WorkerPool::~WorkerPool()
{
    Stop();
}

void WorkerPool::Start()
{
    for (unsigned index = 0; index < thread_count_; ++index) {
        workers_.push_back(make_worker_(index));
    }
    for (const std::unique_ptr<PoolWorker>& worker : workers_) {
        threads_.emplace_back([this, &worker] { Work(*worker); });
    }
}

// The threads start with the first job, which they find handed over.
void WorkerPool::HandOver(PoolJob& job)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return;
        }
        jobs_.push_back(Handed{&job, false});
    }
    if (threads_.empty() && thread_count_ > 0) {
        Start();
    } else {
        handed_over_.notify_one();
    }
}

std::size_t WorkerPool::InFlight() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.size();
}

PoolJob* WorkerPool::TakeOldest()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (jobs_.empty()) {
        return nullptr;
    }
    PoolJob* const job = jobs_.front().job;
    if (thread_count_ == 0) {
        jobs_.pop_front();
        lock.unlock();
        if (workers_.empty()) {
            workers_.push_back(make_worker_(0));
        }
        workers_.front()->Do(*job);
        return job;
    }
    job_done_.wait(lock, [this] { return jobs_.front().done; });
    jobs_.pop_front();
    --started_;
    return job;
}

void WorkerPool::Stop()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    handed_over_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
    threads_.clear();
    jobs_.clear();
    started_ = 0;
}

// The jobs start in the order they were handed over, so those not started
// yet are the last ones of the queue.
void WorkerPool::Work(PoolWorker& worker)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        handed_over_.wait(lock, [this] { return stopping_ || started_ < jobs_.size(); });
        if (stopping_) {
            return;
        }
        Handed& handed = jobs_[started_++];
        lock.unlock();
        worker.Do(*handed.job);
        lock.lock();
        handed.done = true;
        job_done_.notify_one();
    }
}
