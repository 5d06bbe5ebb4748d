#ifndef VARNETH_ARCHIVE_FAST_DEFLATE_ZIP_STREAM_H
#define VARNETH_ARCHIVE_FAST_DEFLATE_ZIP_STREAM_H

#include <wx/zipstrm.h>

// A wxZipOutputStream whose deflated entries are compressed by
// DeflateOutputStream instead of zlib: wx still writes the headers, the
// checksum, the sizes and the Zip64 fields, and still stores entries too
// short to gain from compression.
class FastDeflateZipStream final : public wxZipOutputStream {
public:
    explicit FastDeflateZipStream(wxOutputStream& stream) : wxZipOutputStream(stream) {}
    ~FastDeflateZipStream() override;
    bool Close() override;
    // Marks the stream failed, for an archive that will never be read: its
    // close then ends nothing and checks nothing.
    void Abandon() { m_lasterror = wxSTREAM_WRITE_ERROR; }

protected:
    wxOutputStream* OpenCompressor(wxOutputStream& stream, wxZipEntry& entry, const Buffer bufs[]) override;
    bool CloseCompressor(wxOutputStream* compressor) override;

private:
    wxOutputStream* deflater_ = nullptr;
    // wx goes on after a compressor's failed close and takes its own state
    // from the stream below; the failure is kept here to report at Close().
    bool deflater_failed_ = false;
};

#endif
