#include "mft/record_size.h"

#include <cstdint>

#include "mft/record_buffer.h"
#include "mft/record_header.h"
#include "mft/record_source.h"

namespace {

constexpr std::uint16_t kLargeRecordUsaCount = kMftLargeRecordSize / kMftSectorSize + 1;  // 9
// The header up to and including the allocated size.
constexpr std::size_t kHeaderBytesRead = record_header_field::kBytesAllocated + 4;

}  // namespace

std::size_t RecordSizeOfFirstRecord(ByteReader first_record)
{
    using namespace record_header_field;
    const bool large = first_record.U32At(kMagic) == kFileSignature &&
                       first_record.U32At(kBytesAllocated) == kMftLargeRecordSize &&
                       first_record.U16At(kUsaCount) == kLargeRecordUsaCount;
    return large && first_record.ok() ? kMftLargeRecordSize : kMftRecordSize;
}

std::size_t DetectRecordSize(int fd)
{
    unsigned char header[kHeaderBytesRead] = {};
    if (RecordSource(fd).ReadQuietly(0, header, sizeof header) != RecordSource::ReadResult::kWhole) {
        return kMftRecordSize;
    }
    return RecordSizeOfFirstRecord(ByteReader(header, sizeof header));
}
