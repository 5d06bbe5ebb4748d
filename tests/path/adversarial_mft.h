#ifndef VARNETH_TESTS_PATH_ADVERSARIAL_MFT_H
#define VARNETH_TESTS_PATH_ADVERSARIAL_MFT_H

// A small $MFT in which every way a parent chain can go wrong is found, many
// times over and interleaved, as a cache of ancestors would meet it: loops,
// chains longer than 50, DOS-only and nameless records in a chain, parents
// that are not FILE records, fail to decode, decode with a warning, lie past
// the end of the file, are deleted, are files, or are extension records;
// names with control characters and characters beyond ASCII.

#include <cstdint>
#include <map>

#include "support/record_builder.h"

namespace varneth_test {

MftImage AdversarialMft();

// Records 0 to 15 of SystemRecords(), by number, to add others to.
std::map<std::uint64_t, Bytes> SystemRecordMap();

// The records at their numbers, zero blocks in the gaps, count in all.
MftImage ImageOf(const std::map<std::uint64_t, Bytes>& records, std::uint64_t count);

// A directory record whose decoding succeeds with a warning (a stream name
// that runs past the end of the record).
Bytes DirectoryWithCutStreamName(const std::u16string& name, std::uint64_t parent);

}  // namespace varneth_test

#endif
