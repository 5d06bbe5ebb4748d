#ifndef VARNETH_MFT_FILE_NAME_H
#define VARNETH_MFT_FILE_NAME_H

#include <cstddef>

#include <wx/object.h>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

class MFTFileNameAttr;

// Decodes the resident $FILE_NAME value of the attribute described by
// attr_header (an MFTAttrHeader) into file_name_attr, a new object made by
// the caller. Note the argument order. Returns 0 on success, -1 on failure
// (file_name_attr untouched then; said in diagnostics). The record ends at record_size.
int GetFileNameAttr(wxObject* attr_header, MFTFileNameAttr* file_name_attr, const unsigned char* mft_rec_buf,
                    Diagnostics& diagnostics, std::size_t record_size = kMftRecordSize);

#endif
