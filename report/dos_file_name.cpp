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

// Whether the name holds a colon or a separator; most names hold neither.
// Written so that the compiler checks many characters a step.
bool HasPathCharacters(WideView name)
{
    unsigned found = 0;
    for (const wxStringCharType c : name) {
        found |= (c == wxS(':') ? 1u : 0u) | (c == wxS('\\') ? 1u : 0u) | (c == wxS('/') ? 1u : 0u);
    }
    return found != 0;
}

}  // namespace

void SplitDosFileName(const wxString& file_name, DosFileNameParts& parts)
{
    const wxStringCharType* data = file_name.wx_str();
    const std::size_t length = file_name.length();
    if (length >= 2 && IsDosSeparator(data[0]) && IsDosSeparator(data[1])) {
        // Such names are rare enough to leave to wxFileName.
        const wxFileName split(file_name, wxPATH_DOS);
        parts.rewritten_full_name = split.GetFullName();
        parts.rewritten_ext = split.GetExt();
        parts.full_name = ViewOf(parts.rewritten_full_name);
        parts.ext = ViewOf(parts.rewritten_ext);
        return;
    }
    const bool path_characters = HasPathCharacters(WideView(data, length));
    const std::size_t start = path_characters ? VolumeEnd(data, length) : 0;
    // Only the dot after the last separator can start the extension.
    std::size_t last_separator = kNone;
    std::size_t last_dot = path_characters ? kNone : WideView(data, length).rfind(wxS('.'));
    for (std::size_t i = path_characters ? length : start; i > start; --i) {
        if (IsDosSeparator(data[i - 1])) {
            last_separator = i - 1;
            break;
        }
        if (last_dot == kNone && data[i - 1] == wxS('.')) {
            last_dot = i - 1;
        }
    }
    bool has_ext = last_dot != kNone;
    if (has_ext && (last_dot == start || IsNativeSeparator(data[last_dot - 1]))) {
        has_ext = false;  // a leading dot (".profile") starts no extension
    }
    const std::size_t name_begin = last_separator == kNone ? start : last_separator + 1;
    parts.full_name = WideView(data + name_begin, length - name_begin);
    parts.ext = has_ext ? WideView(data + last_dot + 1, length - last_dot - 1) : WideView();
}
