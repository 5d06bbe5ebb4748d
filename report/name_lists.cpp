#include "report/name_lists.h"

#include <string>

#include "base/log_message.h"
#include "mft/file_name_choice.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "text/replacement.h"
#include "text/utf8_text.h"

namespace {

// The text as listed. Most names are plain ASCII, which the rule keeps as it
// stands: they are listed without a trip through UTF-8.
wxString Shown(const wxString& text)
{
    if (IsPlainAscii(text)) {
        return text;
    }
    std::string utf8;
    AppendSanitized(utf8, text);
    return wxString::FromUTF8(utf8);
}

}  // namespace

wxArrayString GetMFTRecordWin32FileName(wxObject* mft_file_record, bool streams_only)
{
    wxArrayString names;
    const MFTFileRecord* record = AsKindOf<MFTFileRecord>(mft_file_record);
    if (record == nullptr) {
        LogErrorText(wxS("GetMFTRecordWin32FileName() - mft_file_record is not of type MFTFileRecord."));
        return names;
    }
    const MFTFileNameAttr* listed = ListedFileName(*record);
    if (listed == nullptr) {
        return names;
    }
    const wxString& name = listed->file_name;
    const wxString shown_name = Shown(name);
    if (!streams_only) {
        names.Add(shown_name);  // even an empty sole name gets its line
    }
    if (name.empty()) {
        return names;
    }
    for (const MFTDataAttr* data : record->data_attr_array) {
        if (data != nullptr && data->is_ads && !data->stream_name.empty()) {
            names.Add(shown_name + wxS(':') + Shown(data->stream_name));
        }
    }
    return names;
}
