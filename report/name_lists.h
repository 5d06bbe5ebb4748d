#ifndef VARNETH_REPORT_NAME_LISTS_H
#define VARNETH_REPORT_NAME_LISTS_H

#include <wx/arrstr.h>
#include <wx/object.h>

#include "base/diagnostics.h"

// The names a record is listed under on the console: its Win32 name (unless
// streams_only), then name:stream for each named $DATA stream. The name is
// the only $FILE_NAME whatever its namespace, or else the first one that is
// not a DOS name. Control characters in names come out as U+FFFD
// (text/replacement). An object that is not an MFTFileRecord is said in
// diagnostics and gives an empty list.
wxArrayString GetMFTRecordWin32FileName(wxObject* mft_file_record, bool streams_only, Diagnostics& diagnostics);

#endif
