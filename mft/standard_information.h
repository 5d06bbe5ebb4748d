#ifndef VARNETH_MFT_STANDARD_INFORMATION_H
#define VARNETH_MFT_STANDARD_INFORMATION_H

#include <cstddef>

#include <wx/object.h>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

class MFTAttrHeader;

// Decodes the resident $STANDARD_INFORMATION value described by attr_header
// into std_info (an MFTStdInfoAttr). A value shorter than 72 bytes is read as
// if padded with zero bytes. Returns 0 on success, -1 on failure (std_info
// untouched then; said in diagnostics). The record ends at record_size.
int GetStdInfoAttr(const unsigned char* mft_rec_buf, const MFTAttrHeader* attr_header, wxObject* std_info,
                   Diagnostics& diagnostics, std::size_t record_size = kMftRecordSize);

#endif
