#include "image/ewf_image.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <wx/wxcrt.h>

#include <libewf.h>

#include "base/platform.h"

// libewf (20140813) leaks the buffer it makes for a chunk that no segment
// holds when such a chunk is read, and finding where an incomplete set ends
// reads a few of them on purpose: a bounded leak of the library's, not ours,
// kept out of the leak checker's findings.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNETH_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(VARNETH_LEAK_CHECKED)
#define VARNETH_LEAK_CHECKED 1
#endif
#ifdef VARNETH_LEAK_CHECKED
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libewf_chunk_data_initialize\n";
}
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
#endif

namespace {

constexpr unsigned char kEwfSignature[8] = {'E', 'V', 'F', 0x09, 0x0D, 0x0A, 0xFF, 0x00};

// libewf's own account of a failure, freed here.
wxString ErrorText(libewf_error_t*& error)
{
    if (error == nullptr) {
        return wxString();
    }
    char text[512] = {};
    libewf_error_sprint(error, text, sizeof text);
    libewf_error_free(&error);
    return wxString::FromUTF8(text);
}

// The segment file that holds the chunk at offset, or empty: libewf reads
// a chunk that no segment of the set holds as zeros, without a failure.
wxString SegmentHolding(libewf_handle_t* handle, std::uint64_t offset)
{
    unsigned char byte = 0;
    libewf_error_t* error = nullptr;
    std::size_t size = 0;
    if (libewf_handle_read_random(handle, &byte, 1, static_cast<off64_t>(offset), &error) != 1 ||
        libewf_handle_get_filename_size(handle, &size, &error) != 1 || size == 0) {
        ErrorText(error);
        return wxString();
    }
    std::vector<char> name(size + 1, '\0');
    if (libewf_handle_get_filename(handle, name.data(), name.size(), &error) != 1) {
        ErrorText(error);
        return wxString();
    }
    return wxString(name.data(), *wxConvFileName);
}

// libewf reads a chunk whose data fails its checksum as zeros and only notes
// its sectors: a read that reaches any of them has failed.
bool ReachesChecksumError(libewf_handle_t* handle, std::uint64_t offset, std::size_t length)
{
    libewf_error_t* error = nullptr;
    std::uint32_t count = 0;
    std::uint32_t bytes_per_sector = 0;
    if (libewf_handle_get_number_of_checksum_errors(handle, &count, &error) != 1 || count == 0 ||
        libewf_handle_get_bytes_per_sector(handle, &bytes_per_sector, &error) != 1 || bytes_per_sector == 0) {
        ErrorText(error);
        return false;
    }
    const std::uint64_t first_read = offset / bytes_per_sector;
    const std::uint64_t last_read = (offset + length - 1) / bytes_per_sector;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t first = 0;
        std::uint64_t sectors = 0;
        if (libewf_handle_get_checksum_error(handle, i, &first, &sectors, &error) != 1) {
            ErrorText(error);
            continue;
        }
        // The ranges meet, without a sum that could wrap.
        if (sectors != 0 && first <= last_read && (first_read < first || first_read - first < sectors)) {
            return true;
        }
    }
    return false;
}

// When libewf finds the set unfinished: whether its chunks reach the media
// size it states, and if not, the line that names the segment missing (the
// one after the last found, when the chunks end in it) or cut short.
bool ChunksReachMediaEnd(libewf_handle_t* handle, std::uint64_t media_size, const std::vector<wxString>& segments,
                         Diagnostics& diagnostics)
{
    libewf_error_t* error = nullptr;
    size32_t chunk_size = 0;
    if (media_size == 0 || libewf_handle_get_chunk_size(handle, &chunk_size, &error) != 1 || chunk_size == 0) {
        ErrorText(error);
        return true;  // nothing to measure the chunks by: the reads will tell
    }
    const std::uint64_t chunks = (media_size - 1) / chunk_size + 1;
    if (!SegmentHolding(handle, (chunks - 1) * chunk_size).empty()) {
        return true;
    }
    // The chunks found are the first ones: the last of them, by bisection.
    std::uint64_t held = 0;  // chunks before this one are held
    std::uint64_t absent = chunks - 1;
    while (held < absent) {
        const std::uint64_t middle = held + (absent - held) / 2;
        if (SegmentHolding(handle, middle * chunk_size).empty()) {
            absent = middle;
        } else {
            held = middle + 1;
        }
    }
    // The segment after the one that holds the last chunk found lost its
    // chunks: missing, when no further segment was found, else unreadable.
    const wxString last_held = held == 0 ? wxString() : SegmentHolding(handle, (held - 1) * chunk_size);
    // libewf gives the name made absolute: the segments are named as the input was.
    const auto at = std::find_if(segments.begin(), segments.end(), [&last_held](const wxString& segment) {
        return !last_held.empty() && platform::IsSameFile(segment, last_held);
    });
    if (at != segments.end() && at + 1 == segments.end()) {
        diagnostics.Error(wxS("Image segment ") + NextEwfSegmentName(*at) + wxS(" is missing."));
    } else {
        const wxString& broken = at == segments.end() ? segments.front() : *(at + 1);
        diagnostics.Error(wxS("Image segment ") + broken + wxS(" is cut short or damaged: the set is incomplete."));
    }
    return false;
}

}  // namespace

wxString NextEwfSegmentName(const wxString& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == wxString::npos || name.length() < dot + 4) {
        return wxString();
    }
    wxString next = name;
    const std::size_t last = name.length() - 1;
    if (wxIsdigit(name[last - 1]) && wxIsdigit(name[last])) {
        const long number = (name[last - 1].GetValue() - '0') * 10 + (name[last].GetValue() - '0');
        if (number < 99) {
            return name.Left(last - 1) + wxString::Format(wxS("%02ld"), number + 1);
        }
        // After 99 the two places take letters, in the case of the first.
        const wxChar a = wxIslower(name[dot + 1]) ? 'a' : 'A';
        next[last - 1] = a;
        next[last] = a;
        return next;
    }
    for (std::size_t i = last; i > dot; --i) {
        const wxChar c = static_cast<wxChar>(name[i].GetValue());
        if (c == 'z' || c == 'Z') {
            next[i] = static_cast<wxChar>(c - ('z' - 'a'));
            continue;
        }
        next[i] = static_cast<wxChar>(c + 1);
        return next;
    }
    return wxString();
}

struct EwfImage::Handle {
    ~Handle()
    {
        if (handle != nullptr) {
            libewf_handle_close(handle, nullptr);
            libewf_handle_free(&handle, nullptr);
        }
    }
    libewf_handle_t* handle = nullptr;
};

bool HasEwfSignature(const unsigned char* first_bytes, std::size_t length)
{
    return length >= sizeof kEwfSignature && std::memcmp(first_bytes, kEwfSignature, sizeof kEwfSignature) == 0;
}

EwfImage::~EwfImage() = default;

std::unique_ptr<EwfImage> EwfImage::Open(const wxString& first_segment, Diagnostics& diagnostics)
{
    const std::string name(first_segment.fn_str());
    libewf_error_t* error = nullptr;
    char** names = nullptr;
    int name_count = 0;
    if (libewf_glob(name.c_str(), name.size(), LIBEWF_FORMAT_UNKNOWN, &names, &name_count, &error) != 1) {
        diagnostics.Error(wxS("Unable to find the segments of the EWF image ") + first_segment + wxS(": ") +
                          ErrorText(error));
        return nullptr;
    }
    std::unique_ptr<EwfImage> image(new EwfImage());
    image->handle_ = std::make_unique<Handle>();
    for (int i = 0; i < name_count; ++i) {
        image->segment_names_.emplace_back(names[i], *wxConvFileName);
        if (!IsFileOrDeviceSegment(image->segment_names_.back(), diagnostics)) {
            libewf_glob_free(names, name_count, nullptr);
            return nullptr;
        }
    }
    bool opened = libewf_handle_initialize(&image->handle_->handle, &error) == 1 &&
                  libewf_handle_open(image->handle_->handle, names, name_count, libewf_get_access_flags_read(),
                                     &error) == 1;
    libewf_glob_free(names, name_count, nullptr);
    size64_t media_size = 0;
    opened = opened && libewf_handle_get_media_size(image->handle_->handle, &media_size, &error) == 1;
    if (!opened) {
        diagnostics.Error(wxS("Unable to open the EWF image ") + first_segment + wxS(": ") + ErrorText(error));
        return nullptr;
    }
    image->size_ = media_size;
    if (libewf_handle_segment_files_corrupted(image->handle_->handle, &error) != 0 &&
        !ChunksReachMediaEnd(image->handle_->handle, media_size, image->segment_names_, diagnostics)) {
        ErrorText(error);
        return nullptr;
    }
    return image;
}

long long EwfImage::ReadAt(std::uint64_t offset, unsigned char* out, std::size_t length,
                           Diagnostics& diagnostics) const
{
    length = LengthInside(offset, length);
    if (length == 0) {
        return 0;
    }
    libewf_error_t* error = nullptr;
    ssize_t got = 0;
    bool damaged = false;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        got = libewf_handle_read_random(handle_->handle, out, length, static_cast<off64_t>(offset), &error);
        damaged = got > 0 && ReachesChecksumError(handle_->handle, offset, static_cast<std::size_t>(got));
    }
    if (damaged) {
        // One text for every read, so that the records lost by it are named as one range.
        diagnostics.ErrorCountingRepeats(wxS("A chunk of the EWF image fails its checksum."),
                                         wxS("more reads of the EWF image met damaged chunks."));
        return -1;
    }
    if (got < 0) {
        // libewf's account is alike for every chunk: the run logs it once and counts the rest.
        diagnostics.ErrorCountingRepeats(
            wxString::Format(wxS("Unable to read %zu bytes at offset %llu of the EWF image: "), length,
                             static_cast<unsigned long long>(offset)) +
                ErrorText(error),
            wxS("more reads of the EWF image failed likewise."));
        return -1;
    }
    return got;
}
