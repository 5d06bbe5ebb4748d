#ifndef VARNETH_MFT_RECORD_SOURCE_H
#define VARNETH_MFT_RECORD_SOURCE_H

// The one way the tool reads FILE records from the $MFT file, and the tests
// that sort a block before anything decodes it. Every read is positioned (at
// record number times the record size): no reader uses or moves a file
// position, so the record loop and the path walk never disturb each other.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/diagnostics.h"
#include "image/image_reader.h"
#include "mft/byte_reader.h"
#include "mft/record_buffer.h"

// "FILE" at the start of the block; damaged records read "BAAD", blocks never
// used zeros.
bool HasFileSignature(ByteReader block);

// A next attribute id of zero: the record never held an attribute, and there
// is nothing in it to decode.
bool HasNoAttributes(ByteReader block);

class RecordSource {
public:
    enum class ReadResult {
        kWhole,   // every byte asked for
        kShort,   // the file ended first
        kFailed,  // the read failed (said in diagnostics when the read says it)
    };

    // fd: a descriptor the caller keeps open while the source is used, or -1
    // for a file that is not open. record_size: the file's record size
    // (record_size.h), the one value every count and bound of the run uses.
    explicit RecordSource(int fd = -1, std::size_t record_size = kMftRecordSize)
        : fd_(fd), record_size_(record_size)
    {
    }
    // The $MFT as it lies in a disk or volume image (image/mapped_stream.h):
    // the records are read where the volume keeps them.
    RecordSource(std::shared_ptr<const ImageReader> stream, std::size_t record_size)
        : stream_(std::move(stream)), record_size_(record_size)
    {
    }

    bool IsOpen() const { return fd_ != -1 || stream_ != nullptr; }
    // Read where an image keeps the $MFT, not from an $MFT file.
    bool InImage() const { return stream_ != nullptr; }
    std::size_t record_size() const { return record_size_; }

    // The file's length in bytes, negative when it cannot be measured (or
    // the source is not open).
    long long FileLength() const;

    // Reads length bytes from the start of record recno (length may span
    // several records) in one call. A failed read is said in diagnostics as
    // the file library logs its own failures: "can't read from file
    // descriptor N" and the system's error. A short read says nothing.
    ReadResult Read(std::uint64_t recno, unsigned char* out, std::size_t length, Diagnostics& diagnostics) const;

    // The same, without the line.
    ReadResult ReadQuietly(std::uint64_t recno, unsigned char* out, std::size_t length) const;

private:
    // The read; a stream says its own failures in stream_diagnostics.
    ReadResult ReadFrom(std::uint64_t recno, unsigned char* out, std::size_t length,
                        Diagnostics& stream_diagnostics) const;

    int fd_ = -1;
    std::shared_ptr<const ImageReader> stream_;  // in place of fd_
    std::size_t record_size_;
};

#endif
