#ifndef VARNETH_MFT_UPDATE_SEQUENCE_H
#define VARNETH_MFT_UPDATE_SEQUENCE_H

#include <cstddef>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

// Puts back, in place, the stride-end words that the volume saved in the
// record's update sequence array (one per 512-byte stride: two in a 1024-byte
// record, eight in a 4096-byte one), after checking that every stride end
// carries the update sequence number. Returns 0 on success, -1 on failure
// (the buffer is then unchanged, and the failure is in diagnostics).
int WriteFixupValues(unsigned char* mft_rec_buf, Diagnostics& diagnostics, std::size_t record_size = kMftRecordSize);

#endif
