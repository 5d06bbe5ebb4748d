#include "mft/mft_file_record.h"

wxIMPLEMENT_DYNAMIC_CLASS(MFTRecordHeader, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTAttrHeader, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTDataAttr, MFTAttrHeader);
wxIMPLEMENT_DYNAMIC_CLASS(MFTStdInfoAttr, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTFileNameAttr, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTFileRecord, wxObject);

void MFTRecordHeader::Clear()
{
    *this = MFTRecordHeader();
}

void MFTAttrHeader::Clear()
{
    *this = MFTAttrHeader();
}

void MFTStdInfoAttr::Clear()
{
    *this = MFTStdInfoAttr();
}

namespace {

template <typename T>
void DeleteAll(std::vector<T*>& array)
{
    for (T* object : array) {
        delete object;  // null entries are harmless
    }
    array.clear();  // keeps the capacity for the next record
}

}  // namespace

MFTFileRecord::~MFTFileRecord()
{
    Clear();
}

void MFTFileRecord::Clear()
{
    mft_header.Clear();
    std_info.Clear();
    DeleteAll(attr_header_array);
    DeleteAll(file_name_array);
    DeleteAll(data_attr_array);
    has_ads = false;
    parent_recno = 0;
}
