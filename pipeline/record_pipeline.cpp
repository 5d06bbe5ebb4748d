#include "pipeline/record_pipeline.h"

#include <algorithm>
#include <utility>

#include "mft/record_sequence.h"

namespace {

// Enough records per hand-over that the lock costs nothing, few enough that
// the batches in flight stay small.
constexpr std::uint64_t kBatchRecords = 512;
constexpr std::size_t kBatchesPerWorker = 8;

// Each stretch cut into batches of kBatchRecords records, the last shorter.
std::vector<RecordRange> BatchRanges(const std::vector<RecordRange>& stretches)
{
    std::vector<RecordRange> batches;
    for (const RecordRange& stretch : stretches) {
        for (std::uint64_t first = stretch.first; first < stretch.end; first += kBatchRecords) {
            batches.push_back(RecordRange{first, std::min(first + kBatchRecords, stretch.end)});
        }
    }
    return batches;
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
    output.input_ended = false;
    output.named_base = false;
    output.file_record = false;
    output.in_use = false;
    output.extension = false;
    output.decoding_failed = false;
    output.report_rows = 0;
    return output;
}

void RecordBatch::Keep()
{
    RecordOutput& output = outputs_[used_++];
    output.report_end = report.size();
    output.body_end = body.size();
    output.listing_end = listing.size();
    output.json_end = json.size();
}

struct RecordPipeline::BatchJob final : PoolJob {
    RecordBatch batch;
};

class RecordPipeline::BatchFiller final : public PoolWorker {
public:
    BatchFiller(RecordWorker& worker, const RecordSource& source) : worker_(worker), records_(source, 0) {}

    void Do(PoolJob& job) override { FillBatch(static_cast<BatchJob&>(job).batch, records_, worker_); }

private:
    RecordWorker& worker_;
    RecordSequence records_;
};

RecordPipeline::RecordPipeline(const RecordSource& source, std::uint64_t record_count, const WorkerMaker& make_worker)
    : RecordPipeline(source, std::vector<RecordRange>{RecordRange{0, record_count}}, make_worker)
{
}

// A worker fills one batch at a time: an input of fewer batches than cores
// starts no thread that could only wait, and an input of one batch (a small
// $MFT) is made by the calling thread when it takes it. Batches: eight a
// worker and two more, so that the workers go on while the calling thread
// writes the batch it holds; all are in flight when it hands over, as it
// has given its own back by then.
RecordPipeline::RecordPipeline(const RecordSource& source, const std::vector<RecordRange>& stretches,
                               const WorkerMaker& make_worker)
    : source_(source),
      batch_ranges_(BatchRanges(stretches)),
      batch_count_(batch_ranges_.size()),
      worker_count_(static_cast<unsigned>(
          std::min<std::uint64_t>(WorkerCount(), std::max<std::uint64_t>(batch_count_, 1)))),
      most_in_flight_(kBatchesPerWorker * worker_count_ + 2),
      pool_(batch_count_ <= 1 ? 0 : worker_count_,
            [this](unsigned index) { return std::make_unique<BatchFiller>(*workers_[index], source_); })
{
    for (unsigned i = 0; i < worker_count_; ++i) {
        workers_.push_back(make_worker());
    }
}

RecordPipeline::~RecordPipeline() = default;

const RecordBatch* RecordPipeline::Next()
{
    if (in_use_ != nullptr) {
        free_.push_back(in_use_);
        in_use_ = nullptr;
    }
    if (gave_last_) {
        return nullptr;
    }
    while (next_to_hand_over_ < batch_count_ && pool_.InFlight() < most_in_flight_) {
        HandOverNext();
    }
    in_use_ = static_cast<BatchJob*>(pool_.TakeOldest());
    if (in_use_ == nullptr) {
        return nullptr;
    }
    if (in_use_->batch.ends_run_) {
        // The batches after it would read past the end the input has now.
        gave_last_ = true;
        pool_.Stop();
    }
    return &in_use_->batch;
}

void RecordPipeline::HandOverNext()
{
    if (free_.empty()) {
        batches_.push_back(std::make_unique<BatchJob>());
        free_.push_back(batches_.back().get());
    }
    BatchJob* job = free_.back();
    free_.pop_back();
    job->batch.number_ = next_to_hand_over_;
    job->batch.first_recno_ = batch_ranges_[next_to_hand_over_].first;
    job->batch.end_recno_ = batch_ranges_[next_to_hand_over_].end;
    ++next_to_hand_over_;
    pool_.HandOver(*job);
}

void RecordPipeline::FillBatch(RecordBatch& batch, RecordSequence& records, RecordWorker& worker)
{
    batch.used_ = 0;
    batch.ends_run_ = false;
    batch.file_records_ = 0;
    batch.in_use_records_ = 0;
    batch.report.clear();
    batch.body.clear();
    batch.listing.clear();
    batch.json.clear();
    const std::uint64_t first = batch.first_recno_;
    const std::uint64_t end = batch.end_recno_;
    // An $MFT file that comes back short has ended early; in an image a read
    // that does not give the whole record loses that record only.
    const bool file_input = !records.source().InImage();
    records.Restart(first, end - first);
    for (std::uint64_t recno = first; recno < end; ++recno) {
        RecordOutput& output = batch.Open(recno);
        unsigned char* block = records.Next(output.diagnostics);
        if (block == nullptr) {
            output.read_failed = true;
            batch.Keep();
            if (file_input && records.failure() == RecordSource::ReadResult::kShort) {
                output.input_ended = true;
                batch.ends_run_ = true;
                return;
            }
            continue;
        }
        if (worker.Make(block, output, batch) || !output.diagnostics.empty()) {
            batch.Keep();
        }
    }
}
