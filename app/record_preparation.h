#ifndef VARNETH_APP_RECORD_PREPARATION_H
#define VARNETH_APP_RECORD_PREPARATION_H

#include <cstddef>
#include <memory>

#include "app/body_file_lines.h"
#include "app/record_pipeline.h"
#include "mft/record_source.h"
#include "path/full_path_resolver.h"

// The record loop's reading side, which runs in the pipeline's worker: each
// block is checked and decoded, and a named base record to report gets its
// full path and, with a body file, its body lines. Everything here reads the
// input; nothing writes an output.
class RecordPreparation {
public:
    RecordPreparation(const RecordSource& mft_file, bool report_mode, bool body_file);
    RecordPreparation(const RecordPreparation&) = delete;
    RecordPreparation& operator=(const RecordPreparation&) = delete;

    // True when the record is a named base record (to list or report).
    bool Prepare(unsigned char* block, DecodedRecord& entry);

private:
    bool Decode(unsigned char* block, DecodedRecord& entry);

    const RecordSource mft_file_;
    const bool report_mode_;
    std::unique_ptr<FullPathResolver> paths_;       // reports only
    std::unique_ptr<BodyFileLines> body_lines_;     // with a body file
};

#endif
