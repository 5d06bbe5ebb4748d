#include "mft/record_source.h"

#include <limits>

#include <wx/file.h>
#include <wx/intl.h>
#include <wx/log.h>

#include "base/platform.h"
#include "mft/record_header.h"

bool HasFileSignature(ByteReader block)
{
    return block.U32At(record_header_field::kMagic) == kFileSignature;
}

bool HasNoAttributes(ByteReader block)
{
    return block.U16At(record_header_field::kNextAttrId) == 0;
}

long long RecordSource::FileLength() const
{
    if (!IsOpen()) {
        return wxInvalidOffset;
    }
    if (stream_) {
        return static_cast<long long>(stream_->Size());
    }
    // Measured by the file library, as the tool measures the file everywhere
    // else, so that all its lengths agree. The descriptor is only lent.
    wxFile lent(fd_);
    const wxFileOffset length = lent.Length();
    lent.Detach();
    return length;
}

RecordSource::ReadResult RecordSource::ReadQuietly(std::uint64_t recno, unsigned char* out, std::size_t length) const
{
    Diagnostics unsaid;
    return ReadFrom(recno, out, length, unsaid);
}

RecordSource::ReadResult RecordSource::ReadFrom(std::uint64_t recno, unsigned char* out, std::size_t length,
                                                Diagnostics& stream_diagnostics) const
{
    // A record that no file offset reaches lies past the end of any file.
    constexpr std::uint64_t kLargestOffset = std::numeric_limits<std::int64_t>::max();
    if (length > kLargestOffset || recno > (kLargestOffset - length) / record_size_) {
        return ReadResult::kShort;
    }
    const long long got = stream_ ? stream_->ReadAt(recno * record_size_, out, length, stream_diagnostics)
                                  : platform::ReadAt(fd_, out, length, recno * record_size_);
    if (got < 0) {
        return ReadResult::kFailed;
    }
    return static_cast<std::uint64_t>(got) == length ? ReadResult::kWhole : ReadResult::kShort;
}

RecordSource::ReadResult RecordSource::Read(std::uint64_t recno, unsigned char* out, std::size_t length,
                                            Diagnostics& diagnostics) const
{
    const ReadResult result = ReadFrom(recno, out, length, diagnostics);
    if (result == ReadResult::kFailed && !stream_) {
        // The system's error code is still the read's: nothing ran since.
        diagnostics.SystemError(wxString::Format(_("can't read from file descriptor %d"), fd_), wxSysErrorCode());
    }
    return result;
}
