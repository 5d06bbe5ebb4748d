#include "mft/record_header.h"

#include <cstdint>

#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"

int GetMFTRecHeader(const unsigned char* mft_rec_buf, wxObject* mft_header, Diagnostics& diagnostics,
                    std::size_t record_size)
{
    if (mft_rec_buf == nullptr) {
        diagnostics.Error("GetMFTRecHeader() - mft_rec_buf is NULL.");
        return -1;
    }
    MFTRecordHeader* header = AsKindOf<MFTRecordHeader>(mft_header);
    if (header == nullptr) {
        diagnostics.Error("GetMFTRecHeader() - mft_header is not a  MFTRecordHeader instance.");
        return -1;
    }

    // Stored as found: nothing here is validated. mft_recno is the caller's.
    using namespace record_header_field;
    ByteReader record = RecordReader(mft_rec_buf, record_size);
    header->magic = record.U32At(kMagic);
    header->usa_offset = record.U16At(kUsaOffset);
    header->usa_count = record.U16At(kUsaCount);
    header->lsn = record.U64At(kLsn);
    header->sequence_number = record.U16At(kSequenceNumber);
    header->link_count = record.U16At(kLinkCount);
    header->first_attr_offset = record.U16At(kFirstAttrOffset);
    header->record_flags = record.U16At(kRecordFlags);
    header->bytes_in_use = record.U32At(kBytesInUse);
    header->bytes_allocated = record.U32At(kBytesAllocated);
    header->base_recno = record.U48At(kBaseRecno);
    header->base_sequence = record.U16At(kBaseSequence);
    header->next_attr_id = record.U16At(kNextAttrId);
    header->reserved = record.U16At(kReserved);
    header->header_recno = record.U32At(kHeaderRecno);
    return 0;
}
