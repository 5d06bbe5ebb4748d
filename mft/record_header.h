#ifndef VARNETH_MFT_RECORD_HEADER_H
#define VARNETH_MFT_RECORD_HEADER_H

#include <cstddef>
#include <cstdint>

#include <wx/object.h>

#include "base/diagnostics.h"
#include "mft/record_buffer.h"

// The signature a FILE record begins with: "FILE" read little-endian.
constexpr std::uint32_t kFileSignature = 0x454C4946;

// FILE record header fields, offsets from the start of the record.
namespace record_header_field {
constexpr std::uint64_t kMagic = 0;             // u32, "FILE"
constexpr std::uint64_t kUsaOffset = 4;         // u16
constexpr std::uint64_t kUsaCount = 6;          // u16
constexpr std::uint64_t kLsn = 8;               // u64
constexpr std::uint64_t kSequenceNumber = 16;   // u16
constexpr std::uint64_t kLinkCount = 18;        // u16
constexpr std::uint64_t kFirstAttrOffset = 20;  // u16
constexpr std::uint64_t kRecordFlags = 22;      // u16
constexpr std::uint64_t kBytesInUse = 24;       // u32
constexpr std::uint64_t kBytesAllocated = 28;   // u32
constexpr std::uint64_t kBaseRecno = 32;        // 48-bit record number
constexpr std::uint64_t kBaseSequence = 38;     // u16
constexpr std::uint64_t kNextAttrId = 40;       // u16
constexpr std::uint64_t kReserved = 42;         // u16
constexpr std::uint64_t kHeaderRecno = 44;      // u32
}  // namespace record_header_field

// Decodes the 48-byte FILE record header (no fixups, no validation) into an
// MFTRecordHeader. Returns 0 on success, -1 on failure (said in diagnostics).
int GetMFTRecHeader(const unsigned char* mft_rec_buf, wxObject* mft_header, Diagnostics& diagnostics,
                    std::size_t record_size = kMftRecordSize);

#endif
