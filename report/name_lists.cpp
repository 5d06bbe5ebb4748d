#include "report/name_lists.h"

#include <algorithm>
#include <string>

#include "mft/file_name_choice.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "text/replacement.h"
#include "text/utf8_text.h"

namespace {

// The text as listed. Most names are plain ASCII, which the rule keeps as it
// stands: they are listed as they are, without a trip through UTF-8.
wxString Shown(const wxString& text)
{
    if (IsPlainAscii(text)) {
        return text;
    }
    std::string utf8;
    AppendSanitized(utf8, text);
    return wxString::FromUTF8(utf8);
}

bool IsNamedStream(const MFTDataAttr* data)
{
    return data != nullptr && data->is_ads && !data->stream_name.empty();
}

}  // namespace

wxArrayString GetMFTRecordWin32FileName(wxObject* mft_file_record, bool streams_only, Diagnostics& diagnostics)
{
    wxArrayString names;
    const MFTFileRecord* record = AsKindOf<MFTFileRecord>(mft_file_record);
    if (record == nullptr) {
        diagnostics.Error(wxS("GetMFTRecordWin32FileName() - mft_file_record is not of type MFTFileRecord."));
        return names;
    }
    const MFTFileNameAttr* listed = ListedFileName(*record);
    if (listed == nullptr) {
        return names;
    }
    const wxString& name = listed->file_name;
    const std::size_t streams =
        name.empty() ? 0
                     : static_cast<std::size_t>(std::count_if(record->data_attr_array.begin(),
                                                              record->data_attr_array.end(), IsNamedStream));
    // A list made for one record: room for its lines alone, not the list's
    // default of sixteen strings.
    names.Alloc((streams_only ? 0 : 1) + streams);
    const bool plain = IsPlainAscii(name);
    if (!streams_only) {
        names.Add(plain ? name : Shown(name));  // even an empty sole name gets its line
    }
    if (streams == 0) {
        return names;
    }
    const wxString shown_name = plain ? name : Shown(name);
    for (const MFTDataAttr* data : record->data_attr_array) {
        if (IsNamedStream(data)) {
            wxString line;
            line.reserve(shown_name.length() + 1 + data->stream_name.length());
            line.append(shown_name).append(1, wxS(':')).append(Shown(data->stream_name));
            names.Add(line);
        }
    }
    return names;
}
