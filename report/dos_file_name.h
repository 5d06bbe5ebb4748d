#ifndef VARNETH_REPORT_DOS_FILE_NAME_H
#define VARNETH_REPORT_DOS_FILE_NAME_H

#include <wx/string.h>

// The full name (last component) and the extension of a file name read as a
// Windows path: exactly what wxFileName(file_name, wxPATH_DOS) gives through
// GetFullName() and GetExt(), without building a wxFileName for every record.
// A name holding no backslash, slash or colon is its own full name; its
// extension follows the last dot unless that dot comes first.
void SplitDosFileName(const wxString& file_name, wxString& full_name, wxString& ext);

#endif
