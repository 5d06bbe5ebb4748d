#ifndef VARNETH_APP_RECORD_PIPELINE_H
#define VARNETH_APP_RECORD_PIPELINE_H

// The run's threads, all of them. The input is cut into batches of records;
// decoding threads read and decode batches side by side, one preparing
// thread then takes them in input order for the steps that must see the
// records in order (the path walk and its cache), and the calling thread
// takes them from there, in order, and writes what they hold. No thread but
// the calling one writes or logs: the lines a record's decoding and
// preparing log travel with the record (KeepThreadLogLines), and the threads
// call nothing of the library that keeps state for each thread. Whatever
// ends the run, every thread is stopped and joined before the pipeline is
// gone.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/log_message.h"
#include "mft/mft_file_record.h"
#include "mft/record_source.h"

class RecordSequence;

// One record as the threads before the calling one left it.
struct DecodedRecord {
    std::uint64_t recno = 0;
    std::vector<KeptLogLine> log_lines;  // what reading, decoding and preparing it logged, in order
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
    std::uint64_t number_ = 0;  // in input order
    bool ends_run_ = false;     // holds the record whose read failed
};

class RecordPipeline {
public:
    // Decodes one record into the entry (recno set, log lines collected);
    // true when the calling thread must see it. Runs in several threads at
    // once: it may keep no state of its own.
    using Decoder = std::function<bool(unsigned char* block, DecodedRecord& entry)>;
    // Called in input order, in one thread, for every named base record.
    using Preparer = std::function<void(DecodedRecord& entry)>;

    RecordPipeline(const RecordSource& source, std::uint64_t record_count, Decoder decoder, Preparer preparer);
    ~RecordPipeline();
    RecordPipeline(const RecordPipeline&) = delete;
    RecordPipeline& operator=(const RecordPipeline&) = delete;

    // The next batch in input order, valid until the next call; null after
    // the last one (or after the batch of a failed read).
    RecordBatch* Next();

private:
    void DecodeBatches();
    void PrepareBatches();
    void FillBatch(RecordBatch& batch, RecordSequence& records);
    bool NothingToDecode() const;

    const RecordSource source_;
    const std::uint64_t record_count_;
    const std::uint64_t batch_count_;
    const Decoder decoder_;
    const Preparer preparer_;
    std::vector<std::unique_ptr<RecordBatch>> batches_;

    std::mutex mutex_;  // guards everything below
    std::condition_variable changed_;
    std::deque<RecordBatch*> free_;
    std::uint64_t next_to_decode_ = 0;
    bool input_ended_ = false;                   // a batch ended at a failed read
    std::map<std::uint64_t, RecordBatch*> decoded_;  // by number, until their turn
    std::deque<RecordBatch*> prepared_;
    bool prepared_all_ = false;
    RecordBatch* in_use_ = nullptr;  // the calling thread's
    bool stopping_ = false;

    std::vector<std::thread> threads_;  // last: started when everything they use is made
};

#endif
