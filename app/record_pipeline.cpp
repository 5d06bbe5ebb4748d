#include "app/record_pipeline.h"

#include <algorithm>
#include <utility>

#include "mft/record_sequence.h"

namespace {

// Enough records per hand-over that the lock costs nothing, few enough that
// the batches in flight stay small beside the caches.
constexpr std::uint64_t kBatchRecords = 256;
constexpr std::size_t kBatchesPerThread = 3;

// Decoding is the step that can run side by side: two threads keep two cores
// busy when the other steps are light (the name listings).
unsigned DecodingThreads()
{
    return std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
}

// Keeps this thread's log lines from the log while it lives.
class KeptThreadLog {
public:
    KeptThreadLog() { KeepThreadLogLines(&unclaimed_); }
    ~KeptThreadLog() { KeepThreadLogLines(nullptr); }
    KeptThreadLog(const KeptThreadLog&) = delete;
    KeptThreadLog& operator=(const KeptThreadLog&) = delete;

    void Into(std::vector<KeptLogLine>& lines) { KeepThreadLogLines(&lines); }
    void Unclaimed() { KeepThreadLogLines(&unclaimed_); }

private:
    std::vector<KeptLogLine> unclaimed_;  // lines of no record (none expected)
};

}  // namespace

DecodedRecord& RecordBatch::Open(std::uint64_t recno)
{
    if (used_ == entries_.size()) {
        entries_.push_back(std::make_unique<DecodedRecord>());
    }
    DecodedRecord& entry = *entries_[used_];
    entry.recno = recno;
    entry.log_lines.clear();
    entry.read_failed = false;
    entry.named_base = false;
    entry.decoding_logged = false;
    return entry;
}

RecordPipeline::RecordPipeline(const RecordSource& source, std::uint64_t record_count, Decoder decoder,
                               Preparer preparer)
    : source_(source),
      record_count_(record_count),
      batch_count_((record_count + kBatchRecords - 1) / kBatchRecords),
      decoder_(std::move(decoder)),
      preparer_(std::move(preparer))
{
    const unsigned decoding_threads = DecodingThreads();
    for (std::size_t i = 0; i < kBatchesPerThread * (decoding_threads + 2); ++i) {
        batches_.push_back(std::make_unique<RecordBatch>());
        free_.push_back(batches_.back().get());
    }
    for (unsigned i = 0; i < decoding_threads; ++i) {
        threads_.emplace_back([this] { DecodeBatches(); });
    }
    threads_.emplace_back([this] { PrepareBatches(); });
}

RecordPipeline::~RecordPipeline()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

RecordBatch* RecordPipeline::Next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (in_use_ != nullptr) {
        free_.push_back(in_use_);
        in_use_ = nullptr;
        changed_.notify_all();
    }
    changed_.wait(lock, [this] { return !prepared_.empty() || prepared_all_; });
    if (prepared_.empty()) {
        return nullptr;
    }
    in_use_ = prepared_.front();
    prepared_.pop_front();
    return in_use_;
}

bool RecordPipeline::NothingToDecode() const
{
    return stopping_ || input_ended_ || next_to_decode_ == batch_count_;
}

void RecordPipeline::DecodeBatches()
{
    KeptThreadLog log;
    RecordSequence records(source_, 0);
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return NothingToDecode() || !free_.empty(); });
        if (NothingToDecode()) {
            return;
        }
        RecordBatch* batch = free_.front();
        free_.pop_front();
        batch->number_ = next_to_decode_++;
        lock.unlock();
        FillBatch(*batch, records);
        log.Unclaimed();
        lock.lock();
        input_ended_ = input_ended_ || batch->ends_run_;
        decoded_.emplace(batch->number_, batch);
        changed_.notify_all();
    }
}

void RecordPipeline::FillBatch(RecordBatch& batch, RecordSequence& records)
{
    batch.used_ = 0;
    batch.ends_run_ = false;
    const std::uint64_t first = batch.number_ * kBatchRecords;
    const std::uint64_t end = std::min(first + kBatchRecords, record_count_);
    records.Restart(first, end - first);
    for (std::uint64_t recno = first; recno < end; ++recno) {
        DecodedRecord& entry = batch.Open(recno);
        KeepThreadLogLines(&entry.log_lines);  // this thread's own, until the batch is handed on
        unsigned char* block = records.Next();
        if (block == nullptr) {
            entry.read_failed = true;
            batch.Keep();
            batch.ends_run_ = true;
            break;
        }
        if (decoder_(block, entry) || !entry.log_lines.empty()) {
            batch.Keep();
        }
    }
}

void RecordPipeline::PrepareBatches()
{
    KeptThreadLog log;
    for (std::uint64_t number = 0; number < batch_count_; ++number) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this, number] { return stopping_ || decoded_.count(number) != 0; });
        if (stopping_) {
            break;
        }
        const auto found = decoded_.find(number);
        RecordBatch* batch = found->second;
        decoded_.erase(found);
        lock.unlock();
        for (std::size_t i = 0; i < batch->size(); ++i) {
            DecodedRecord& entry = (*batch)[i];
            if (entry.named_base) {
                log.Into(entry.log_lines);
                preparer_(entry);
            }
        }
        log.Unclaimed();
        lock.lock();
        prepared_.push_back(batch);
        changed_.notify_all();
        if (batch->ends_run_) {
            break;
        }
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    prepared_all_ = true;
    changed_.notify_all();
}
