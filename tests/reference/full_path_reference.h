#ifndef VARNETH_TESTS_REFERENCE_FULL_PATH_REFERENCE_H
#define VARNETH_TESTS_REFERENCE_FULL_PATH_REFERENCE_H

// The full path walk in its plainest form, kept apart from the tool's code:
// for every call, every ancestor is read from the file and decoded, nothing
// is remembered. The tool's walks must give what this one gives, byte for
// byte and line for line.

#include <cstdint>

#include <wx/file.h>
#include <wx/string.h>

#include "base/diagnostics.h"

namespace varneth_test {

wxString ReferenceFullPath(wxFile& mft_file, std::uint64_t mft_recno, Diagnostics& diagnostics);
// The path of the folder a parent reference names: its record is checked too.
wxString ReferenceFolderPath(wxFile& mft_file, std::uint64_t recno, std::uint16_t sequence, Diagnostics& diagnostics);

}  // namespace varneth_test

#endif
