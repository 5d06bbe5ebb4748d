#ifndef VARNETH_TESTS_SUPPORT_SHRINKING_INPUT_H
#define VARNETH_TESTS_SUPPORT_SHRINKING_INPUT_H

// Inputs of many named records, whose outputs outgrow a pipe's room, and a
// reader that cuts such an input short while the tool reads it.

#include <cstddef>
#include <string>

namespace varneth_test {

struct NamedRecordsLayout {
    std::size_t name_length = 200;  // of every file's name, in characters
    std::size_t folder_depth = 0;   // folders of long names between the root and the files
};

// count records: the root "." at 5, the folders from 16 on, and files with a
// few bytes of data in every other place.
void WriteNamedRecords(const std::string& path, std::size_t count, const NamedRecordsLayout& layout = {});

// Reads what the tool writes to the FIFO; cuts the input to keep_records
// records as soon as the first bytes arrive (the tool measured the input
// before it opened the FIFO). Until then, and whenever this reader lags, the
// tool waits on the full pipe, so it cannot have read far. Returns every byte
// read.
std::string ReadFifoAndShrinkInput(const std::string& fifo, const std::string& input, std::size_t keep_records);

}  // namespace varneth_test

#endif
