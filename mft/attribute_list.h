#ifndef VARNETH_MFT_ATTRIBUTE_LIST_H
#define VARNETH_MFT_ATTRIBUTE_LIST_H

// The value of an $ATTRIBUTE_LIST (type 0x20): one entry per attribute of a
// file that overflowed its base record, naming the record that holds it.

#include <cstdint>
#include <vector>

#include "base/diagnostics.h"
#include "mft/byte_reader.h"

struct AttributeListEntry {
    std::uint32_t attr_type = 0;
    std::uint64_t start_vcn = 0;
    std::uint64_t segment_recno = 0;       // the record holding the attribute (48 bits)
    std::uint16_t segment_sequence = 0;    // that record's sequence number
    std::uint16_t attr_id = 0;
};

// Decodes the entries of a resident list value into entries (emptied first,
// keeping its storage). Entries are stepped by their own length; one whose
// length is below the fixed part or runs past the value ends the list, said
// in diagnostics. At most value.size() / 26 entries.
void DecodeAttributeList(ByteReader value, std::vector<AttributeListEntry>& entries, Diagnostics& diagnostics);

#endif
