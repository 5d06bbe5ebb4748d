#include "mft/record_construction.h"

#include <cstddef>
#include <memory>

#include "mft/attribute_walk.h"
#include "mft/data_attribute.h"
#include "mft/file_name.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"
#include "mft/record_header.h"
#include "mft/record_source.h"
#include "mft/standard_information.h"
#include "mft/update_sequence.h"

namespace {

// Only the first $STANDARD_INFORMATION is decoded; a record without one keeps
// the defaults (times never set).
int DecodeStandardInformation(const unsigned char* mft_rec_buf, std::size_t record_size, MFTFileRecord& record,
                              std::size_t first, Diagnostics& diagnostics)
{
    for (std::size_t i = first; i < record.attr_header_array.size(); ++i) {
        const MFTAttrHeader* header = record.attr_header_array[i];
        if (header->attr_type == kAttrTypeStandardInformation) {
            return GetStdInfoAttr(mft_rec_buf, header, &record.std_info, diagnostics, record_size);
        }
    }
    return 0;
}

// Every $FILE_NAME in record order.
int DecodeFileNames(const unsigned char* mft_rec_buf, std::size_t record_size, MFTFileRecord& record, std::size_t first,
                    Diagnostics& diagnostics)
{
    for (std::size_t i = first; i < record.attr_header_array.size(); ++i) {
        MFTAttrHeader* header = record.attr_header_array[i];
        if (header->attr_type != kAttrTypeFileName) {
            continue;
        }
        std::unique_ptr<MFTFileNameAttr> file_name = record.spare_file_names.Take();
        if (GetFileNameAttr(header, file_name.get(), mft_rec_buf, diagnostics, record_size) != 0) {
            return -1;
        }
        record.file_name_array.push_back(file_name.get());
        file_name.release();
    }
    return 0;
}

void DecodeDataAttributes(const unsigned char* mft_rec_buf, std::size_t record_size, MFTFileRecord& record,
                          std::size_t first, Diagnostics& diagnostics)
{
    for (std::size_t i = first; i < record.attr_header_array.size(); ++i) {
        const MFTAttrHeader* header = record.attr_header_array[i];
        if (header->attr_type != kAttrTypeData) {
            continue;
        }
        std::unique_ptr<MFTDataAttr> data_attr =
            MakeDataAttr(*header, mft_rec_buf, diagnostics, &record.spare_data_attrs, record_size);
        if (header->is_ads) {
            record.has_ads = true;
        }
        record.data_attr_array.push_back(data_attr.get());
        data_attr.release();
    }
}

}  // namespace

int CreateMFTFileRecord(unsigned char* mft_rec_buf, wxObject* mft_file_record, std::uint64_t mft_recno,
                        Diagnostics& diagnostics, std::size_t record_size)
{
    if (mft_rec_buf == nullptr) {
        diagnostics.Error("CreateMFTFileRecord() - mft_rec_buf is NULL.");
        return -1;
    }
    MFTFileRecord* record = AsKindOf<MFTFileRecord>(mft_file_record);
    if (record == nullptr) {
        diagnostics.Error("CreateMFTFileRecord() - mft_file_record is not of type MFTFileRecord.");
        return -1;
    }
    if (WriteFixupValues(mft_rec_buf, diagnostics, record_size) != 0) {
        // The step is named differently here than in its own line; both stand.
        diagnostics.Error("CreateMFTFileRecord() - WriteFixupsToMFTRecord() failed.");
        return -1;
    }
    if (GetMFTRecHeader(mft_rec_buf, &record->mft_header, diagnostics, record_size) != 0) {
        diagnostics.Error("CreateMFTFileRecord() - GetMFTRecHeader() failed.");
        return -1;
    }
    record->mft_header.mft_recno = mft_recno;
    if (HasNoAttributes(RecordReader(mft_rec_buf, record_size))) {
        return -1;  // a record without attributes: silent
    }
    // Each pass below looks only at the headers this call's walk appends (never
    // null): a record object that was not cleared still holds the headers of
    // an earlier buffer, which describe other bytes.
    const std::size_t first = record->attr_header_array.size();
    if (PopulateAttrHeaderArray(mft_rec_buf, &record->attr_header_array, diagnostics, &record->spare_attr_headers,
                                record_size, &record->index_root_id, &record->attribute_list,
                                &record->walk_break) != 0) {
        diagnostics.Error("CreateMFTFileRecord() - PopulateAttrHeaderArray() failed.");
        return -1;
    }
    if (DecodeStandardInformation(mft_rec_buf, record_size, *record, first, diagnostics) != 0) {
        diagnostics.Error("CreateMFTFileRecord() - GetStdInfoAttr() failed.");
        return -1;
    }
    if (DecodeFileNames(mft_rec_buf, record_size, *record, first, diagnostics) != 0) {
        diagnostics.Error("CreateMFTFileRecord() - GetFileNameAttr() failed.");
        return -1;
    }
    DecodeDataAttributes(mft_rec_buf, record_size, *record, first, diagnostics);
    return 0;
}
