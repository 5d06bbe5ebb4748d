#include "mft/mft_file_record.h"

wxIMPLEMENT_DYNAMIC_CLASS(MFTRecordHeader, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTAttrHeader, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTDataAttr, MFTAttrHeader);
wxIMPLEMENT_DYNAMIC_CLASS(MFTStdInfoAttr, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTFileNameAttr, wxObject);
wxIMPLEMENT_DYNAMIC_CLASS(MFTFileRecord, wxObject);

MFTFileRecord::~MFTFileRecord()
{
    Clear();
}

void MFTFileRecord::Clear()
{
    mft_header.Clear();
    std_info.Clear();
    spare_attr_headers.KeepAll(attr_header_array);
    spare_file_names.KeepAll(file_name_array);
    spare_data_attrs.KeepAll(data_attr_array);
    has_ads = false;
    index_root_id = -1;
    attribute_list.attr_type = 0;  // the other members are not read then
    walk_break = AttributeWalkBreak();
}
