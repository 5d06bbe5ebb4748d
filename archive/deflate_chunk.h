#ifndef VARNETH_ARCHIVE_DEFLATE_CHUNK_H
#define VARNETH_ARCHIVE_DEFLATE_CHUNK_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct isal_zstream;

// Deflates one piece of a longer text on its own, so that pieces can be
// compressed side by side and joined: the bytes before the piece (up to
// 32 KiB) serve as the dictionary, and every piece but the last ends on a
// byte boundary without ending the stream. The pieces' outputs laid end to
// end are one raw deflate stream of the whole text.
class ChunkDeflater {
public:
    // The farthest back deflate can refer: a longer dictionary is cut to its end.
    static constexpr std::size_t kHistorySize = std::size_t{32} << 10;

    ChunkDeflater();
    ~ChunkDeflater();
    ChunkDeflater(const ChunkDeflater&) = delete;
    ChunkDeflater& operator=(const ChunkDeflater&) = delete;

    // Replaces out with the compressed piece data[0, size), dictionary the
    // dictionary_size bytes just before data. false if the compressor fails.
    bool Deflate(const std::uint8_t* data, std::size_t size, std::size_t dictionary_size, bool last,
                 std::vector<std::uint8_t>& out);

private:
    std::unique_ptr<isal_zstream> stream_;
    std::vector<std::uint8_t> level_buffer_;
    std::vector<std::uint8_t> scratch_;  // kept from piece to piece: filling fresh memory costs more than the copy
};

#endif
