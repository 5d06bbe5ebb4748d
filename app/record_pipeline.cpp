#include "app/record_pipeline.h"

#include <utility>

#include "mft/record_sequence.h"

namespace {

// Enough records per hand-over that the lock costs nothing, few enough that
// the batches in flight stay small beside the caches.
constexpr std::uint64_t kBatchRecords = 1024;
constexpr std::size_t kBatches = 4;

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

RecordPipeline::RecordPipeline(const RecordSource& source, std::uint64_t record_count, Decoder decoder)
    : source_(source), record_count_(record_count), decoder_(std::move(decoder))
{
    for (std::size_t i = 0; i < kBatches; ++i) {
        batches_.push_back(std::make_unique<RecordBatch>());
        free_.push_back(batches_.back().get());
    }
    worker_ = std::thread([this] { Work(); });
}

RecordPipeline::~RecordPipeline()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

RecordBatch* RecordPipeline::Next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (in_use_ != nullptr) {
        free_.push_back(in_use_);
        in_use_ = nullptr;
        changed_.notify_all();
    }
    changed_.wait(lock, [this] { return !full_.empty() || worker_done_; });
    if (full_.empty()) {
        return nullptr;
    }
    in_use_ = full_.front();
    full_.pop_front();
    return in_use_;
}

void RecordPipeline::Work()
{
    LogCapture capture;
    wxLog* const previous_target = wxLog::SetThreadActiveTarget(&capture);
    RecordSequence records(source_, record_count_);
    std::uint64_t recno = 0;
    bool more = true;
    while (more) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty() || stopping_; });
        if (stopping_) {
            break;
        }
        RecordBatch* batch = free_.front();
        free_.pop_front();
        lock.unlock();
        more = FillBatch(*batch, records, recno, capture);
        lock.lock();
        full_.push_back(batch);
        changed_.notify_all();
    }
    capture.CollectInto(nullptr);
    wxLog::SetThreadActiveTarget(previous_target);
    const std::lock_guard<std::mutex> lock(mutex_);
    worker_done_ = true;
    changed_.notify_all();
}

// False when the input has no records left to read, or a read failed.
bool RecordPipeline::FillBatch(RecordBatch& batch, RecordSequence& records, std::uint64_t& recno,
                               LogCapture& capture)
{
    batch.used_ = 0;
    const std::uint64_t end = record_count_ - recno < kBatchRecords ? record_count_ : recno + kBatchRecords;
    for (; recno < end; ++recno) {
        DecodedRecord& entry = batch.Open(recno);
        capture.CollectInto(&entry.log_lines);
        unsigned char* block = records.Next();
        if (block == nullptr) {
            entry.read_failed = true;
            batch.Keep();
            return false;
        }
        if (decoder_(block, entry) || !entry.log_lines.empty()) {
            batch.Keep();
        }
    }
    capture.CollectInto(nullptr);
    return recno < record_count_;
}
