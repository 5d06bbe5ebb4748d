#ifndef VARNETH_APP_INPUT_VERIFICATION_H
#define VARNETH_APP_INPUT_VERIFICATION_H

#include <cstddef>

#include <wx/string.h>

#include "base/diagnostics.h"

// True when the file exists, opens for reading and its records 0 to 4 each
// begin with "FILE", at the record size that record 0 tells
// (mft/record_size.h). On false exactly one error line of its own is logged.
// On true the size found goes to record_size when given; a size other than
// 1024 is logged as a message line.
bool IsValidMFTFile(const wxString& strFilename, std::size_t* record_size = nullptr);

enum class MftFileCheck {
    kMftFile,     // as IsValidMFTFile's true
    kNotMftFile,  // it opens, but its first records are not all FILE records: nothing logged
    kRefused,     // no name, no such file, a directory or FIFO, or it does not open: the line is logged
};

// IsValidMFTFile, but an input that opens and is no $MFT file is left to the
// caller (it may be a disk image) without the line. The failed reads of its
// first records go to read_failures when given (an image reader reads the
// same bytes and says what it makes of them), else they are logged.
MftFileCheck CheckMftFile(const wxString& strFilename, std::size_t* record_size = nullptr,
                          Diagnostics* read_failures = nullptr);

// The line IsValidMFTFile logs for a file that is no $MFT file.
void LogNotAnMftFile(const wxString& strFilename);

#endif
