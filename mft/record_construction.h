#ifndef VARNETH_MFT_RECORD_CONSTRUCTION_H
#define VARNETH_MFT_RECORD_CONSTRUCTION_H

#include <cstddef>
#include <cstdint>

#include <wx/object.h>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

// Decodes one raw FILE record of record_size bytes (the record source's)
// into an MFTFileRecord, applying the update sequence fixups to the buffer in
// place. Returns 0 on success, -1 on failure (the record may then be partly
// filled and must be cleared). What went wrong, in the decoders' own lines
// and then this one's, is appended to diagnostics; a record that decodes may
// still bring a warning. A record whose attribute walk broke decodes as far
// as the walk went, and says where and why in its walk_break (no line here:
// the walk reads records again, and the record's own decoding says it once).
int CreateMFTFileRecord(unsigned char* mft_rec_buf, wxObject* mft_file_record, std::uint64_t mft_recno,
                        Diagnostics& diagnostics, std::size_t record_size = kMftRecordSize);

#endif
