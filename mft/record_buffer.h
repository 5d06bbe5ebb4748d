#ifndef VARNETH_MFT_RECORD_BUFFER_H
#define VARNETH_MFT_RECORD_BUFFER_H

// The raw FILE record buffer every decoder works on: always 1024 bytes, two
// 512-byte sectors. The decoders reach it only through a ByteReader bounded
// to these 1024 bytes.

#include <cstddef>

#include "mft/byte_reader.h"

constexpr std::size_t kMftRecordSize = 1024;
constexpr std::size_t kMftSectorSize = 512;

inline ByteReader RecordReader(const unsigned char* mft_rec_buf)
{
    return ByteReader(mft_rec_buf, kMftRecordSize);
}

inline ByteWriter RecordWriter(unsigned char* mft_rec_buf)
{
    return ByteWriter(mft_rec_buf, kMftRecordSize);
}

#endif
