#include "report/dos_file_name.h"

#include <cstddef>

#include <wx/filename.h>

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

constexpr bool IsDosSeparator(wxStringCharType c)
{
    return c == wxS('\\') || c == wxS('/');
}

// wxFileName asks whether the character before the last dot is a separator
// of the platform's own path format, not of the DOS format it splits by.
constexpr bool IsNativeSeparator(wxStringCharType c)
{
    return c == wxS('/') || (wxFILE_SEP_PATH == wxS('\\') && c == wxS('\\'));
}

// Where the text after the volume ("C:") begins: after the first colon,
// unless that colon is the very first character.
std::size_t VolumeEnd(const wxStringCharType* data, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (data[i] == wxS(':')) {
            return i == 0 ? 0 : i + 1;
        }
    }
    return 0;
}

}  // namespace

void SplitDosFileName(const wxString& file_name, wxString& full_name, wxString& ext)
{
    const wxStringCharType* data = file_name.wx_str();
    const std::size_t length = file_name.length();
    if (length >= 2 && IsDosSeparator(data[0]) && IsDosSeparator(data[1])) {
        // UNC and unique volume names ("\\server\share", "\\?\Volume{...}\")
        // are rewritten by wxFileName before the split; such names are rare
        // enough to leave to it.
        const wxFileName split(file_name, wxPATH_DOS);
        full_name = split.GetFullName();
        ext = split.GetExt();
        return;
    }
    const std::size_t start = VolumeEnd(data, length);
    std::size_t last_separator = kNone;
    std::size_t last_dot = kNone;
    for (std::size_t i = start; i < length; ++i) {
        if (IsDosSeparator(data[i])) {
            last_separator = i;
        } else if (data[i] == wxS('.')) {
            last_dot = i;
        }
    }
    bool has_ext = last_dot != kNone;
    if (has_ext && (last_dot == start || IsNativeSeparator(data[last_dot - 1]))) {
        has_ext = false;  // a leading dot (".profile") starts no extension
    }
    if (has_ext && last_separator != kNone && last_dot < last_separator) {
        has_ext = false;  // the dot belongs to a directory part
    }
    const std::size_t name_begin = last_separator == kNone ? start : last_separator + 1;
    full_name.assign(data + name_begin, length - name_begin);
    if (has_ext) {
        ext.assign(data + last_dot + 1, length - last_dot - 1);
    } else {
        ext.clear();
    }
}
