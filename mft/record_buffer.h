#ifndef VARNETH_MFT_RECORD_BUFFER_H
#define VARNETH_MFT_RECORD_BUFFER_H

// The raw FILE record buffer every decoder works on: 1024 bytes on nearly
// every volume, 4096 on volumes made on disks with 4096-byte sectors. The
// record source knows which (record_size.h); the decoders reach the buffer
// only through a ByteReader bounded to that size, 1024 when none is given.

#include <cstddef>

#include "mft/byte_reader.h"

constexpr std::size_t kMftRecordSize = 1024;
constexpr std::size_t kMftLargeRecordSize = 4096;
// The update sequence protects the last word of every 512-byte stride,
// whatever the disk's sector size.
constexpr std::size_t kMftSectorSize = 512;

inline ByteReader RecordReader(const unsigned char* mft_rec_buf, std::size_t record_size = kMftRecordSize)
{
    return ByteReader(mft_rec_buf, record_size);
}

inline ByteWriter RecordWriter(unsigned char* mft_rec_buf, std::size_t record_size = kMftRecordSize)
{
    return ByteWriter(mft_rec_buf, record_size);
}

#endif
