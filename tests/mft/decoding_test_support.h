#ifndef VARNETH_TESTS_MFT_DECODING_TEST_SUPPORT_H
#define VARNETH_TESTS_MFT_DECODING_TEST_SUPPORT_H

// Small helpers shared by the record decoding tests.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/record_builder.h"

namespace varneth_test {

inline std::string CorpusDir() { return VARNETH_CORPUS_DIR; }

inline bool CorpusAvailable() { return std::filesystem::is_directory(CorpusDir()); }

// The whole file, or nothing when it cannot be read.
inline Bytes ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A record buffer of 1024 zero bytes.
inline Bytes ZeroRecord() { return Bytes(kRecordSize, 0); }

}  // namespace varneth_test

#endif
