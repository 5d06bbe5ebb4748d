#ifndef VARNETH_ARCHIVE_ZIP_ENTRY_NAME_H
#define VARNETH_ARCHIVE_ZIP_ENTRY_NAME_H

#include <wx/string.h>

// The name the report's entry gets in its archive: the report's path with "/"
// separators, and no part that could lead out of the extraction folder.
wxString ZipEntryName(const wxString& report);

#endif
