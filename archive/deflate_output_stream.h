#ifndef VARNETH_ARCHIVE_DEFLATE_OUTPUT_STREAM_H
#define VARNETH_ARCHIVE_DEFLATE_OUTPUT_STREAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/stream.h>

#include "archive/deflate_workers.h"

// Writes what it is given to the stream below as raw deflate data (no zlib or
// gzip framing), as a zip entry holds it. The text is cut into pieces that
// worker threads compress at the same time; the compressed pieces are written
// in order, by the thread that writes to this stream. Close() ends the
// deflate stream; a stream destroyed unclosed writes nothing more.
class DeflateOutputStream final : public wxFilterOutputStream {
public:
    explicit DeflateOutputStream(wxOutputStream& stream);
    bool Close() override;

protected:
    size_t OnSysWrite(const void* buffer, size_t size) override;

private:
    void QueuePiece(bool last);
    void WriteOldest();

    const unsigned worker_count_;
    DeflateWorkers workers_;
    std::vector<std::uint8_t> piece_;  // dictionary, then the bytes still to queue
    std::size_t dictionary_size_ = 0;
    std::vector<std::uint8_t> compressed_;
    bool closed_ = false;
};

#endif
