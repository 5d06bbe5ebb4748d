#ifndef VARNETH_MFT_RECORD_HEADER_H
#define VARNETH_MFT_RECORD_HEADER_H

#include <wx/object.h>

// Decodes the 48-byte FILE record header (no fixups, no validation) into an
// MFTRecordHeader. Returns 0 on success, -1 on failure.
int GetMFTRecHeader(const unsigned char* mft_rec_buf, wxObject* mft_header);

#endif
