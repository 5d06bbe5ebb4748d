#include "app/record_pipeline.h"

#include <algorithm>
#include <utility>

#include "mft/record_sequence.h"

namespace {

// Enough records per hand-over that the lock costs nothing, few enough that
// the batches in flight stay small.
constexpr std::uint64_t kBatchRecords = 512;
constexpr std::size_t kBatchesPerWorker = 8;

unsigned WorkerCount()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

}  // namespace

RecordOutput& RecordBatch::Open(std::uint64_t recno)
{
    if (used_ == outputs_.size()) {
        outputs_.emplace_back();
    }
    RecordOutput& output = outputs_[used_];
    output.recno = recno;
    output.diagnostics.clear();
    output.read_failed = false;
    output.named_base = false;
    return output;
}

void RecordBatch::Keep()
{
    RecordOutput& output = outputs_[used_++];
    output.report_end = report.size();
    output.body_end = body.size();
    output.listing_end = listing.size();
}

RecordPipeline::RecordPipeline(const RecordSource& source, std::uint64_t record_count,
                               const WorkerMaker& make_worker)
    : source_(source), record_count_(record_count), batch_count_((record_count + kBatchRecords - 1) / kBatchRecords)
{
    // A worker fills one batch at a time: an input of fewer batches than
    // cores starts no thread that could only wait, and an input of one
    // batch (a small $MFT) is made by the calling thread, in Next().
    const auto worker_count =
        static_cast<unsigned>(std::min<std::uint64_t>(WorkerCount(), std::max<std::uint64_t>(batch_count_, 1)));
    for (unsigned i = 0; i < worker_count; ++i) {
        workers_.push_back(make_worker(worker_count));
    }
    // The calling thread alone needs one batch.
    const std::size_t batch_slots = batch_count_ <= 1 ? 1 : kBatchesPerWorker * worker_count + 2;
    for (std::size_t i = 0; i < batch_slots; ++i) {
        batches_.push_back(std::make_unique<RecordBatch>());
        free_.push_back(batches_.back().get());
    }
    if (batch_count_ <= 1) {
        return;
    }
    for (const std::unique_ptr<RecordWorker>& worker : workers_) {
        threads_.emplace_back([this, &worker] { Work(*worker); });
    }
}

RecordPipeline::~RecordPipeline()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    batch_free_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

const RecordBatch* RecordPipeline::Next()
{
    if (threads_.empty()) {
        return MadeHere();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (in_use_ != nullptr) {
        free_.push_back(in_use_);
        in_use_ = nullptr;
        batch_free_.notify_one();
    }
    if (gave_last_ || next_to_give_ == batch_count_) {
        return nullptr;
    }
    batch_done_.wait(lock, [this] { return done_.count(next_to_give_) != 0; });
    const auto found = done_.find(next_to_give_++);
    in_use_ = found->second;
    done_.erase(found);
    gave_last_ = in_use_->ends_run_;
    return in_use_;
}

// The one batch of a small input, made as a worker would make it.
const RecordBatch* RecordPipeline::MadeHere()
{
    if (next_to_give_ == batch_count_) {
        return nullptr;
    }
    RecordBatch* batch = free_.front();
    batch->number_ = next_to_give_++;
    RecordSequence records(source_, 0);
    FillBatch(*batch, records, *workers_.front());
    return batch;
}

bool RecordPipeline::NothingToFill() const
{
    return stopping_ || input_ended_ || next_to_fill_ == batch_count_;
}

void RecordPipeline::Work(RecordWorker& worker)
{
    RecordSequence records(source_, 0);
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        batch_free_.wait(lock, [this] { return NothingToFill() || !free_.empty(); });
        if (NothingToFill()) {
            return;
        }
        RecordBatch* batch = free_.front();
        free_.pop_front();
        batch->number_ = next_to_fill_++;
        lock.unlock();
        FillBatch(*batch, records, worker);
        lock.lock();
        done_.emplace(batch->number_, batch);
        batch_done_.notify_one();
        if (batch->ends_run_) {
            input_ended_ = true;
            batch_free_.notify_all();
        }
    }
}

void RecordPipeline::FillBatch(RecordBatch& batch, RecordSequence& records, RecordWorker& worker)
{
    batch.used_ = 0;
    batch.ends_run_ = false;
    batch.report.clear();
    batch.body.clear();
    batch.listing.clear();
    const std::uint64_t first = batch.number_ * kBatchRecords;
    const std::uint64_t end = std::min(first + kBatchRecords, record_count_);
    records.Restart(first, end - first);
    for (std::uint64_t recno = first; recno < end; ++recno) {
        RecordOutput& output = batch.Open(recno);
        unsigned char* block = records.Next(output.diagnostics);
        if (block == nullptr) {
            output.read_failed = true;
            batch.Keep();
            batch.ends_run_ = true;
            return;
        }
        if (worker.Make(block, output, batch) || !output.diagnostics.empty()) {
            batch.Keep();
        }
    }
}
