#ifndef VARNETH_PIPELINE_RECORD_PIPELINE_H
#define VARNETH_PIPELINE_RECORD_PIPELINE_H

// The record loop's threads. The input is cut into batches of records;
// worker threads (a WorkerPool) turn whole batches into output bytes side by side, each
// record from its read to its report rows in one thread while its data is
// at hand, and the calling thread takes the batches in input order and
// writes them (an input of one batch is made by the calling thread itself,
// which would only wait for a worker). No thread but the calling one writes or logs: the lines a
// record's work gives travel with the record (its diagnostics), and the
// workers call nothing of the library that keeps state for each thread.
// Whatever ends the run, every thread is stopped and joined before the
// pipeline is gone.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "mft/lost_records.h"
#include "mft/record_source.h"
#include "pipeline/worker_pool.h"

class RecordSequence;

// What a worker made of one record that the calling thread must see.
struct RecordOutput {
    std::uint64_t recno = 0;
    Diagnostics diagnostics;             // the lines its work gave, in order
    // Its read came back short or failed: the record is lost (the read's
    // lines in diagnostics), and the run goes on with the next.
    bool read_failed = false;
    bool input_ended = false;  // the short read of an $MFT file, which ended early: the run ends here
    bool named_base = false;             // a base record with a name: listed or reported
    // Counted (with JSON lines or the summary): a FILE record, and what the
    // closing summary counts of it.
    bool file_record = false;
    bool in_use = false;
    bool extension = false;
    bool decoding_failed = false;
    std::uint32_t report_rows = 0;  // its lines in the report
    // Where its bytes end in the batch's texts (they start where the
    // record before ends).
    std::size_t report_end = 0;
    std::size_t body_end = 0;
    std::size_t listing_end = 0;
    std::size_t json_end = 0;
};

// The records of a stretch of the input that the calling thread must see
// (those with a name or a diagnostic line; the others leave no trace), and the
// bytes made of them.
class RecordBatch {
public:
    std::size_t size() const { return used_; }
    const RecordOutput& operator[](std::size_t i) const { return outputs_[i]; }
    // The record after the stretch's last one.
    std::uint64_t end_recno() const { return end_recno_; }
    // The records of the stretch read with a FILE signature, and those of
    // them marked in use.
    std::uint64_t file_records() const { return file_records_; }
    std::uint64_t in_use_records() const { return in_use_records_; }
    // Called by the worker for each record with a FILE signature, where it
    // tests the signature anyway.
    void CountFileRecord(bool in_use)
    {
        ++file_records_;
        in_use_records_ += in_use ? 1 : 0;
    }

    // Appended to by the worker, record after record.
    std::string report;
    std::string body;
    std::string listing;
    std::string json;

private:
    friend class RecordPipeline;
    RecordOutput& Open(std::uint64_t recno);  // the next output, emptied
    void Keep();                              // the output opened last stays

    std::vector<RecordOutput> outputs_;  // kept across batches
    std::size_t used_ = 0;
    std::uint64_t number_ = 0;  // in input order
    std::uint64_t first_recno_ = 0;
    std::uint64_t end_recno_ = 0;
    std::uint64_t file_records_ = 0;
    std::uint64_t in_use_records_ = 0;
    bool ends_run_ = false;     // holds the record where the input ended
};

// One worker's own state: makes the output of a record at the end of the
// batch; true when the calling thread must see the record.
// It counts each FILE record it meets into the batch (CountFileRecord).
class RecordWorker {
public:
    virtual ~RecordWorker() = default;
    virtual bool Make(unsigned char* block, RecordOutput& output, RecordBatch& batch) = 0;
};

class RecordPipeline {
public:
    using WorkerMaker = std::function<std::unique_ptr<RecordWorker>()>;

    RecordPipeline(const RecordSource& source, std::uint64_t record_count, const WorkerMaker& make_worker);
    // Only the records of the stretches (in order, none overlapping) are
    // read: those between are lost already, and no batch holds them.
    RecordPipeline(const RecordSource& source, const std::vector<RecordRange>& stretches,
                   const WorkerMaker& make_worker);
    ~RecordPipeline();
    RecordPipeline(const RecordPipeline&) = delete;
    RecordPipeline& operator=(const RecordPipeline&) = delete;

    // The next batch in input order, valid until the next call; null after
    // the last one (or after the batch where an $MFT file ended early).
    const RecordBatch* Next();

private:
    struct BatchJob;    // a batch as the pool carries it
    class BatchFiller;  // one thread's worker and reader

    void HandOverNext();
    static void FillBatch(RecordBatch& batch, RecordSequence& records, RecordWorker& worker);

    const RecordSource source_;
    const std::vector<RecordRange> batch_ranges_;  // the records of each batch
    const std::uint64_t batch_count_;
    const unsigned worker_count_;
    const std::size_t most_in_flight_;
    std::vector<std::unique_ptr<RecordWorker>> workers_;
    std::vector<std::unique_ptr<BatchJob>> batches_;  // made as needed, kept to the end
    std::vector<BatchJob*> free_;
    std::uint64_t next_to_hand_over_ = 0;
    BatchJob* in_use_ = nullptr;  // the calling thread's
    bool gave_last_ = false;      // the batch where the input ended was taken

    WorkerPool pool_;  // last: stopped before everything its threads use is gone
};

#endif
