#include "archive/zip_entry_name.h"

#include <wx/arrstr.h>
#include <wx/zipstrm.h>

// wxZipEntry turns the native path into an archive name: "/" separators, no
// leading "/" or "./". It keeps ".." parts ("../out.txt", and "/../x" gives
// "../x"), and such an entry would be extracted outside the target directory
// by careless tools, so "." and ".." are resolved here, along with empty
// parts.
wxString ZipEntryName(const wxString& report)
{
    wxArrayString kept;
    for (const wxString& part : wxSplit(wxZipEntry::GetInternalName(report), '/', '\0')) {
        if (part == wxS("..")) {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (!part.empty() && part != wxS(".")) {
            kept.push_back(part);
        }
    }
    return wxJoin(kept, '/', '\0');
}
