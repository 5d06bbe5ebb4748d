// The worker pool: jobs come back in the order they were handed over however
// long each one takes, each done once, by the worker of the one thread that
// worker belongs to; a pool with no thread has its owner do each job when it
// takes it; threads start with the first job, and a stop (or the pool's end)
// drops the jobs not started and leaves no thread behind.

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "pipeline/worker_pool.h"

namespace {

// A sanitizer's runtime starts a thread of its own with the first thread the
// process makes: one thread made and joined first keeps that out of the counts.
std::size_t ThreadsInProcess()
{
    static const bool runtime_threads_started = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)runtime_threads_started;
    std::size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(tasks);
    }
    return count;
}

struct TestJob final : PoolJob {
    std::chrono::microseconds work{0};
    int times_done = 0;
    std::thread::id done_on;
    const PoolWorker* done_by = nullptr;
};

class TestWorker final : public PoolWorker {
public:
    explicit TestWorker(std::atomic<int>& jobs_done) : jobs_done_(jobs_done) {}
    void Do(PoolJob& job) override
    {
        TestJob& test_job = static_cast<TestJob&>(job);
        std::this_thread::sleep_for(test_job.work);
        ++test_job.times_done;
        test_job.done_on = std::this_thread::get_id();
        test_job.done_by = this;
        ++jobs_done_;
    }

private:
    std::atomic<int>& jobs_done_;
};

struct Counts {
    std::atomic<int> workers_made{0};
    std::atomic<int> jobs_done{0};
};

WorkerPool::WorkerMaker Workers(Counts& counts)
{
    return [&counts](unsigned) {
        ++counts.workers_made;
        return std::make_unique<TestWorker>(counts.jobs_done);
    };
}

TEST(WorkerPool, GivesJobsBackInHandOverOrderHoweverLongEachTakes)
{
    for (const unsigned thread_count : {0u, 1u, 3u}) {
        SCOPED_TRACE(thread_count);
        constexpr std::size_t kJobs = 60;
        const std::size_t most_in_flight = 2 * thread_count + 1;
        std::vector<TestJob> jobs(kJobs);
        for (std::size_t i = 0; i < kJobs; ++i) {
            jobs[i].work = std::chrono::microseconds(i % 4 == 0 ? 3000 : 0);  // later jobs overtake
        }
        const std::size_t threads_before = ThreadsInProcess();
        Counts counts;
        WorkerPool pool(thread_count, Workers(counts));
        std::vector<const PoolJob*> taken;
        std::map<const PoolWorker*, std::thread::id> thread_of_worker;
        std::map<std::thread::id, const PoolWorker*> worker_of_thread;
        for (std::size_t next = 0; taken.size() < kJobs;) {
            while (next < kJobs && pool.InFlight() < most_in_flight) {
                pool.HandOver(jobs[next++]);
            }
            EXPECT_EQ(ThreadsInProcess(), threads_before + thread_count);
            if (thread_count == 0) {
                EXPECT_EQ(jobs[taken.size()].times_done, 0);  // done when taken, not before
            }
            taken.push_back(pool.TakeOldest());
            const TestJob& job = jobs[taken.size() - 1];
            ASSERT_EQ(taken.back(), &job);
            EXPECT_EQ(job.times_done, 1);
            EXPECT_EQ(job.done_on == std::this_thread::get_id(), thread_count == 0);
            EXPECT_EQ(thread_of_worker.emplace(job.done_by, job.done_on).first->second, job.done_on);
            EXPECT_EQ(worker_of_thread.emplace(job.done_on, job.done_by).first->second, job.done_by);
        }
        EXPECT_EQ(pool.TakeOldest(), nullptr);
        EXPECT_EQ(counts.workers_made, static_cast<int>(std::max(thread_count, 1u)));
        EXPECT_LE(thread_of_worker.size(), static_cast<std::size_t>(counts.workers_made));
    }
}

TEST(WorkerPool, StopDropsTheJobsNotStartedAndJoinsEveryThread)
{
    for (const bool by_destruction : {false, true}) {
        SCOPED_TRACE(by_destruction);
        constexpr std::size_t kJobs = 60;
        std::vector<TestJob> jobs(kJobs);
        for (TestJob& job : jobs) {
            job.work = std::chrono::microseconds(5000);
        }
        const std::size_t threads_before = ThreadsInProcess();
        Counts counts;
        {
            WorkerPool pool(3, Workers(counts));
            EXPECT_EQ(ThreadsInProcess(), threads_before);  // none before the first job
            for (TestJob& job : jobs) {
                pool.HandOver(job);
            }
            EXPECT_EQ(ThreadsInProcess(), threads_before + 3);
            ASSERT_EQ(pool.TakeOldest(), &jobs[0]);
            if (!by_destruction) {
                pool.Stop();
                EXPECT_EQ(ThreadsInProcess(), threads_before);
                EXPECT_EQ(pool.TakeOldest(), nullptr);
                pool.HandOver(jobs[0]);  // a stopped pool takes nothing more
                EXPECT_EQ(pool.TakeOldest(), nullptr);
            }
        }
        EXPECT_EQ(ThreadsInProcess(), threads_before);
        const int done_when_stopped = counts.jobs_done;
        EXPECT_LT(done_when_stopped, static_cast<int>(kJobs));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(counts.jobs_done, done_when_stopped);
    }
}

}  // namespace
