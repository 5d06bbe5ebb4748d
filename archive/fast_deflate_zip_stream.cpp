#include "archive/fast_deflate_zip_stream.h"

#include "archive/deflate_output_stream.h"

namespace {

// wx stores an entry of this many bytes or fewer rather than deflate it.
constexpr size_t kLongestStored = 6;

// wxZipEntry keeps SetFlags to its friend wxZipOutputStream; a member
// pointer taken through a derived class reaches it without that friendship.
struct EntryFlags : wxZipEntry {
    static void Set(wxZipEntry& entry, int flags) { (entry.*&EntryFlags::SetFlags)(flags); }
};

}  // namespace

// The entry is closed here, before the base class's destructor would reach
// CloseCompressor through a call that no longer dispatches to this class.
FastDeflateZipStream::~FastDeflateZipStream()
{
    Close();
    // After a failed write wx skips the compressor's close, and it would
    // never be freed (nor its threads stopped).
    delete deflater_;
}

bool FastDeflateZipStream::Close()
{
    const bool closed = wxZipOutputStream::Close();
    if (deflater_failed_) {
        m_lasterror = wxSTREAM_WRITE_ERROR;
    }
    return closed && !deflater_failed_;
}

wxOutputStream* FastDeflateZipStream::OpenCompressor(wxOutputStream& stream, wxZipEntry& entry, const Buffer bufs[])
{
    size_t buffered = 0;
    for (const Buffer* buf = bufs; buf->m_data != nullptr; ++buf) {
        buffered += buf->m_size;
    }
    const bool deflate = entry.GetMethod() == wxZIP_METHOD_DEFLATE ||
                         (entry.GetMethod() == wxZIP_METHOD_DEFAULT && buffered > kLongestStored);
    if (!deflate) {
        return wxZipOutputStream::OpenCompressor(stream, entry, bufs);
    }
    // The flags wx sets for its own default level: the sizes and checksum
    // follow the data unless wx can go back and write them in the header.
    entry.SetMethod(wxZIP_METHOD_DEFLATE);
    EntryFlags::Set(entry, (entry.GetFlags() & ~wxZIP_DEFLATE_MASK) | wxZIP_DEFLATE_NORMAL | wxZIP_SUMS_FOLLOW);
    deflater_ = new DeflateOutputStream(stream);
    return deflater_;
}

bool FastDeflateZipStream::CloseCompressor(wxOutputStream* compressor)
{
    if (compressor == nullptr || compressor != deflater_) {
        return wxZipOutputStream::CloseCompressor(compressor);
    }
    const bool closed = compressor->Close();
    delete compressor;
    deflater_ = nullptr;
    deflater_failed_ = deflater_failed_ || !closed;
    return closed;
}
