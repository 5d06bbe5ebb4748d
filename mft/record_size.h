#ifndef VARNETH_MFT_RECORD_SIZE_H
#define VARNETH_MFT_RECORD_SIZE_H

// The size of a $MFT file's FILE records, told by its record 0: a record
// that begins with "FILE", is allocated 4096 bytes and has an update sequence
// of 9 entries (its number and one word per 512-byte stride) makes it 4096;
// anything else, 1024, as on nearly every volume. Nothing else is guessed: a
// file that does not say 4096 in all three is read as it always was.

#include <cstddef>

#include "mft/byte_reader.h"

// The record size that the header at the start of record 0 tells. A header
// cut short tells nothing: 1024.
std::size_t RecordSizeOfFirstRecord(ByteReader first_record);

// The same, read from the start of the file open on fd. A read that fails or
// comes back short logs nothing and gives 1024: the checks that follow read
// the same bytes again and report it in their own words.
std::size_t DetectRecordSize(int fd);

#endif
