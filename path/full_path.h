#ifndef VARNETH_PATH_FULL_PATH_H
#define VARNETH_PATH_FULL_PATH_H

#include <cstdint>

#include <wx/file.h>
#include <wx/string.h>

// The full path of a record ("\Windows\System32\drivers"), rebuilt by reading
// the record and then its ancestors, one parent reference at a time, from the
// open $MFT file. The walk stops at the root (named "."), after 50 names, at
// a short read, or at a record it cannot use; an interrupted walk returns the
// names gathered so far, each still followed by its separator. Problems are
// logged; the result is then empty or cut short. Once the record number has
// passed the bound test the file position is restored on every return.
wxString GetFullPathString(wxFile& mft_file, std::uint64_t mft_recno);

#endif
