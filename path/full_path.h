#ifndef VARNETH_PATH_FULL_PATH_H
#define VARNETH_PATH_FULL_PATH_H

#include <cstdint>

#include <wx/file.h>
#include <wx/string.h>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

// The full path of one record, read from the open $MFT file by the full path
// walk (path/full_path_resolver.h, which describes the result and its lines,
// appended to diagnostics) with nothing remembered from other calls. The
// file's position is neither used nor moved. record_size: the file's
// (mft/record_size.h).
wxString GetFullPathString(wxFile& mft_file, std::uint64_t mft_recno, Diagnostics& diagnostics,
                           std::size_t record_size = kMftRecordSize);

#endif
