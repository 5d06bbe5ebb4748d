#ifndef VARNETH_REPORT_DOS_FILE_NAME_H
#define VARNETH_REPORT_DOS_FILE_NAME_H

#include <wx/string.h>

#include "text/utf8_text.h"

// The full name (last component) and the extension of a file name read as a
// Windows path: exactly what wxFileName(file_name, wxPATH_DOS) gives through
// GetFullName() and GetExt(), without building a wxFileName for every record.
// A name holding no backslash, slash or colon is its own full name; its
// extension follows the last dot unless that dot comes first.
struct DosFileNameParts {
    // Views of the split name, or of the copies below.
    WideView full_name;
    WideView ext;
    // UNC and unique volume names ("\\server\share", "\\?\Volume{...}\") are
    // rewritten by wxFileName before the split: its own texts are kept here.
    wxString rewritten_full_name;
    wxString rewritten_ext;
};

// The views stay valid while file_name and parts are left unchanged.
void SplitDosFileName(const wxString& file_name, DosFileNameParts& parts);

#endif
