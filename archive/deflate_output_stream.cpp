#include "archive/deflate_output_stream.h"

#include <algorithm>
#include <utility>

#include "archive/deflate_chunk.h"
#include "pipeline/worker_pool.h"

namespace {

// Big enough that the dictionary copied into each piece and the bytes that
// end each piece cost nothing worth measuring, small enough to keep the
// workers busy on a short text and the memory in use low.
constexpr std::size_t kPieceSize = std::size_t{1} << 20;
constexpr std::size_t kDictionarySize = ChunkDeflater::kHistorySize;

}  // namespace

DeflateOutputStream::DeflateOutputStream(wxOutputStream& stream)
    : wxFilterOutputStream(stream), worker_count_(WorkerCount()), workers_(worker_count_)
{
    piece_.reserve(kDictionarySize + kPieceSize);
}

size_t DeflateOutputStream::OnSysWrite(const void* buffer, size_t size)
{
    if (closed_ || !IsOk()) {
        m_lasterror = wxSTREAM_WRITE_ERROR;
        return 0;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (std::size_t left = size; left > 0 && IsOk();) {
        const std::size_t take = std::min(left, dictionary_size_ + kPieceSize - piece_.size());
        piece_.insert(piece_.end(), bytes, bytes + take);
        bytes += take;
        left -= take;
        if (piece_.size() == dictionary_size_ + kPieceSize) {
            QueuePiece(false);
        }
    }
    return IsOk() ? size : 0;
}

// The next piece starts with the end of this one as its dictionary. Output
// is written once enough pieces wait, so that memory stays bounded.
void DeflateOutputStream::QueuePiece(bool last)
{
    const std::size_t kept = std::min(kDictionarySize, piece_.size() - dictionary_size_);
    std::vector<std::uint8_t> next;
    next.reserve(kDictionarySize + kPieceSize);
    next.assign(piece_.end() - kept, piece_.end());
    workers_.Queue(std::move(piece_), dictionary_size_, last);
    piece_ = std::move(next);
    dictionary_size_ = kept;
    while (IsOk() && workers_.Waiting() > 2 * worker_count_) {
        WriteOldest();
    }
}

void DeflateOutputStream::WriteOldest()
{
    if (!workers_.TakeOldest(compressed_)) {
        m_lasterror = wxSTREAM_WRITE_ERROR;
        return;
    }
    GetFilterOutputStream()->Write(compressed_.data(), compressed_.size());
    if (GetFilterOutputStream()->LastWrite() != compressed_.size() || !GetFilterOutputStream()->IsOk()) {
        m_lasterror = wxSTREAM_WRITE_ERROR;
    }
}

bool DeflateOutputStream::Close()
{
    if (!closed_) {
        closed_ = true;
        if (IsOk()) {
            QueuePiece(true);
        }
        while (IsOk() && workers_.Waiting() > 0) {
            WriteOldest();
        }
    }
    return wxFilterOutputStream::Close() && IsOk();
}
