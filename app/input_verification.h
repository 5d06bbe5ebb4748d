#ifndef VARNETH_APP_INPUT_VERIFICATION_H
#define VARNETH_APP_INPUT_VERIFICATION_H

#include <wx/string.h>

// True when the file exists, opens for reading and its records 0 to 4 each
// begin with "FILE". On false exactly one error line of its own is logged.
bool IsValidMFTFile(const wxString& strFilename);

#endif
