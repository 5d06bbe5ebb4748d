#include "app/background_writer.h"

#include <wx/log.h>

BackgroundWriter::BackgroundWriter() : worker_([this] { Work(); })
{
    filling_.reserve(kHandOverSize + 64 * 1024);
}

BackgroundWriter::~BackgroundWriter()
{
    Close();
}

bool BackgroundWriter::HandOver(Job job)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return job_ == Job::kNone; });
    if (failed_ || job_ == Job::kStop || !worker_.joinable()) {
        return false;
    }
    // The writer's buffer is empty after its last flush: the two change places.
    writer_.Bytes().swap(filling_);
    job_ = job;
    changed_.notify_all();
    return true;
}

void BackgroundWriter::Work()
{
    const wxLogNull quiet;  // this thread's lines only
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return job_ != Job::kNone; });
        if (job_ == Job::kStop) {
            return;
        }
        const Job job = job_;
        lock.unlock();
        const bool written = job == Job::kWriteToDisk ? writer_.FlushToDisk() : writer_.Flush();
        lock.lock();
        failed_ = failed_ || !written;
        job_ = Job::kNone;
        changed_.notify_all();
    }
}

bool BackgroundWriter::Close()
{
    if (!worker_.joinable()) {
        return !failed_;
    }
    const bool handed_over = !writer_.IsOpened() || HandOver(Job::kWrite);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return job_ == Job::kNone; });
        job_ = Job::kStop;
        changed_.notify_all();
    }
    worker_.join();
    const bool closed = writer_.Close();
    failed_ = failed_ || !handed_over || !closed;
    return !failed_;
}
