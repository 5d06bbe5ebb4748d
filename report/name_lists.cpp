#include "report/name_lists.h"

#include "app/log_message.h"
#include "mft/mft_file_record.h"
#include "report/report_text.h"

namespace {

// Null when no name qualifies.
const wxString* ChooseWin32Name(const MFTFileRecord& record)
{
    const auto& names = record.file_name_array;
    if (names.size() == 1) {
        return names.front() != nullptr ? &names.front()->file_name : nullptr;
    }
    for (const MFTFileNameAttr* name : names) {
        if (name != nullptr && name->name_space != kNameSpaceDos) {
            return &name->file_name;
        }
    }
    return nullptr;
}

}  // namespace

wxArrayString GetMFTRecordWin32FileName(wxObject* mft_file_record, bool streams_only)
{
    wxArrayString names;
    const auto* record = dynamic_cast<const MFTFileRecord*>(mft_file_record);
    if (record == nullptr) {
        LogErrorText(wxS("GetMFTRecordWin32FileName() - mft_file_record is not of type MFTFileRecord."));
        return names;
    }
    const wxString* name = ChooseWin32Name(*record);
    if (name == nullptr) {
        return names;
    }
    const wxString shown_name = SanitizedText(*name);
    if (!streams_only) {
        names.Add(shown_name);  // even an empty sole name gets its line
    }
    if (name->empty()) {
        return names;
    }
    for (const MFTDataAttr* data : record->data_attr_array) {
        if (data != nullptr && data->is_ads && !data->stream_name.empty()) {
            names.Add(shown_name + wxS(':') + SanitizedText(data->stream_name));
        }
    }
    return names;
}

wxArrayString GetMFTRecordStreamNames(wxObject* mft_file_record)
{
    return GetMFTRecordWin32FileName(mft_file_record, true);
}
