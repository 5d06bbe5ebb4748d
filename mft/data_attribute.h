#ifndef VARNETH_MFT_DATA_ATTRIBUTE_H
#define VARNETH_MFT_DATA_ATTRIBUTE_H

#include <cstddef>
#include <memory>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

class MFTAttrHeader;
class MFTDataAttr;
template <typename T>
class SpareObjects;

// The $DATA step: a new MFTDataAttr with every member of the attribute's
// header and, for a named stream (non-zero name length and name offset), the
// stream name read from the record. Resident and non-resident data alike;
// no value is read. It has no failure of its own (a name cut at the record
// end is a warning in diagnostics). The object comes from
// spares when given. The record ends at record_size.
std::unique_ptr<MFTDataAttr> MakeDataAttr(const MFTAttrHeader& attr_header, const unsigned char* mft_rec_buf,
                                          Diagnostics& diagnostics, SpareObjects<MFTDataAttr>* spares = nullptr,
                                          std::size_t record_size = kMftRecordSize);

#endif
