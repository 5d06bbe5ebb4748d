#ifndef VARNETH_MFT_UPDATE_SEQUENCE_H
#define VARNETH_MFT_UPDATE_SEQUENCE_H

// Puts back, in place, the two sector-end words that the volume saved in the
// record's update sequence array, after checking that both sector ends carry
// the update sequence number. Returns 0 on success, -1 on failure (the
// buffer is then unchanged).
int WriteFixupValues(unsigned char* mft_rec_buf);

#endif
