#include "image/ewf_image.h"

#include <cstring>
#include <string>

#include <libewf.h>

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

}  // namespace

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
    {
        const std::lock_guard<std::mutex> hold(lock_);
        got = libewf_handle_read_random(handle_->handle, out, length, static_cast<off64_t>(offset), &error);
    }
    if (got < 0) {
        diagnostics.Error(wxString::Format(wxS("Unable to read %zu bytes at offset %llu of the EWF image: "), length,
                                           static_cast<unsigned long long>(offset)) +
                          ErrorText(error));
        return -1;
    }
    return got;
}
