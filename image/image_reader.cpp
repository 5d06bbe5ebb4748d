#include "image/image_reader.h"

#include <algorithm>

#include <wx/intl.h>
#include <wx/log.h>

#include "base/platform.h"

FileImage::FileImage(wxFile&& file, std::uint64_t size) : size_(size)
{
    file_.Attach(file.Detach());
}

long long FileImage::ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                            Diagnostics& diagnostics) const
{
    length = LengthInside(offset, length);
    std::size_t done = 0;
    // A device may hand over less than asked without being at its end.
    while (done < length) {
        const long long got = platform::ReadAt(file_.fd(), out + done, length - done, offset + done);
        if (got < 0) {
            diagnostics.SystemError(wxString::Format(_("can't read from file descriptor %d"), file_.fd()),
                                    wxSysErrorCode());
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

void SplitImage::AddSegment(std::unique_ptr<FileImage> segment)
{
    starts_.push_back(size_);
    size_ += segment->Size();
    segments_.push_back(std::move(segment));
}

long long SplitImage::ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                             Diagnostics& diagnostics) const
{
    std::size_t done = 0;
    while (done < length && offset + done < size_) {
        const std::uint64_t at = offset + done;
        const auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
        const std::size_t index = static_cast<std::size_t>(next - starts_.begin()) - 1;
        const std::uint64_t inside = at - starts_[index];
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(length - done, segments_[index]->Size() - inside));
        const long long got = segments_[index]->ReadAt(inside, out + done, want, diagnostics);
        if (got < 0) {
            return -1;
        }
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < want) {
            break;  // a segment that shrank since it was measured
        }
    }
    return static_cast<long long>(done);
}

bool IsFileOrDeviceSegment(const wxString& path, Diagnostics& diagnostics)
{
    switch (platform::KindOfFile(path)) {
    case platform::FileKind::kMissing:  // the open says so
    case platform::FileKind::kRegular:
    case platform::FileKind::kBlockDevice:
        return true;
    case platform::FileKind::kFifo:
        diagnostics.Error(wxS("Image segment ") + path + wxS(" is a FIFO: the set is not read."));
        return false;
    case platform::FileKind::kDirectory:
        diagnostics.Error(wxS("Image segment ") + path + wxS(" is a directory: the set is not read."));
        return false;
    case platform::FileKind::kOther:
        break;
    }
    diagnostics.Error(wxS("Image segment ") + path + wxS(" is neither a file nor a device: the set is not read."));
    return false;
}

std::unique_ptr<FileImage> OpenFileImage(const wxString& path, Diagnostics& diagnostics)
{
    if (!IsFileOrDeviceSegment(path, diagnostics)) {
        return nullptr;
    }
    wxLogNull quiet;  // what goes wrong is said below, in the run's own words
    wxFile file;
    if (!file.Open(path, wxFile::read)) {
        diagnostics.Error(wxS("Unable to open ") + path + wxS("."));
        return nullptr;
    }
    // A block device has no length of its own to stat: its end is found by seeking.
    const wxFileOffset size = file.SeekEnd(0);
    if (size == wxInvalidOffset || size < 0) {
        diagnostics.Error(wxS("Unable to measure ") + path + wxS("."));
        return nullptr;
    }
    return std::make_unique<FileImage>(std::move(file), static_cast<std::uint64_t>(size));
}
