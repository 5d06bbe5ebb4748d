#ifndef VARNETH_APP_RECORD_PREPARATION_H
#define VARNETH_APP_RECORD_PREPARATION_H

#include <cstddef>
#include <memory>

#include "app/body_file_lines.h"
#include "app/record_pipeline.h"
#include "mft/record_source.h"
#include "path/full_path_resolver.h"

// The record loop's reading side, which runs in the pipeline's threads
// (record_pipeline): each block is checked and decoded, side by side; then,
// in record order, a named base record to report gets its full path and,
// with a body file, its body lines. Everything here reads the input; nothing
// writes an output.

// Skips what is not a named base record and decodes the rest; true for a
// named base record (to list or report). Keeps no state: decoding threads
// call it at once.
bool DecodeRecordBlock(std::size_t record_size, unsigned char* block, DecodedRecord& entry);

class RecordPreparation {
public:
    RecordPreparation(const RecordSource& mft_file, bool report_mode, bool body_file);
    RecordPreparation(const RecordPreparation&) = delete;
    RecordPreparation& operator=(const RecordPreparation&) = delete;

    // A decoded named base record, in record order.
    void Prepare(DecodedRecord& entry);

private:
    const RecordSource mft_file_;
    const bool report_mode_;
    std::unique_ptr<FullPathResolver> paths_;       // reports only
    std::unique_ptr<BodyFileLines> body_lines_;     // with a body file
};

#endif
