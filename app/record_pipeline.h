#ifndef VARNETH_APP_RECORD_PIPELINE_H
#define VARNETH_APP_RECORD_PIPELINE_H

// The run's second thread. A worker reads the input from record 0 and
// decodes every record, batch by batch, while the calling thread takes the
// batches in order and writes what they hold. The worker writes nothing and
// logs nothing of its own accord: the lines its decoding logs travel with
// their record (log_capture). Whatever ends the run, the worker is stopped
// and joined before the pipeline is gone.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/log_capture.h"
#include "mft/mft_file_record.h"
#include "mft/record_source.h"

// One record as the worker left it.
struct DecodedRecord {
    std::uint64_t recno = 0;
    std::vector<CapturedLogLine> log_lines;  // what reading and decoding it logged, in order
    bool read_failed = false;                // its read came back short or failed: the run ends here
    bool named_base = false;                 // a base record with a name, decoded in `record`
    bool decoding_logged = false;
    MFTFileRecord record;
    std::string full_path;   // UTF-8, for the report
    std::string body_lines;  // with a body file
};

// The records of a stretch of the input that the calling thread must see:
// those with a name or with a log line; the others leave no trace.
class RecordBatch {
public:
    std::size_t size() const { return used_; }
    DecodedRecord& operator[](std::size_t i) { return *entries_[i]; }

private:
    friend class RecordPipeline;
    DecodedRecord& Open(std::uint64_t recno);  // the next entry, emptied
    void Keep() { ++used_; }                    // the entry opened last stays

    std::vector<std::unique_ptr<DecodedRecord>> entries_;  // kept across batches
    std::size_t used_ = 0;
};

class RecordPipeline {
public:
    // Reads and decodes one record into the entry (recno and log lines set);
    // true when the calling thread must see it.
    using Decoder = std::function<bool(unsigned char* block, DecodedRecord& entry)>;

    RecordPipeline(const RecordSource& source, std::uint64_t record_count, Decoder decoder);
    ~RecordPipeline();
    RecordPipeline(const RecordPipeline&) = delete;
    RecordPipeline& operator=(const RecordPipeline&) = delete;

    // The next batch in input order, valid until the next call; null after
    // the last one (or after a failed read's batch).
    RecordBatch* Next();

private:
    void Work();
    bool FillBatch(RecordBatch& batch, class RecordSequence& records, std::uint64_t& recno, LogCapture& capture);

    const RecordSource source_;
    const std::uint64_t record_count_;
    const Decoder decoder_;
    std::vector<std::unique_ptr<RecordBatch>> batches_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<RecordBatch*> free_;
    std::deque<RecordBatch*> full_;
    RecordBatch* in_use_ = nullptr;  // the calling thread's
    bool worker_done_ = false;
    bool stopping_ = false;
    std::thread worker_;  // last: started when everything it uses is made
};

#endif
