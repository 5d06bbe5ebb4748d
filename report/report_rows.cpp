#include "report/report_rows.h"

#include "app/log_message.h"
#include "app/run_settings.h"
#include "mft/mft_file_record.h"
#include "report/report_columns.h"
#include "report/report_line.h"

namespace {

// Typical lines are well under this; one reservation avoids regrowing the
// line as its columns are appended.
constexpr std::size_t kLineReserve = 512;

const MFTFileRecord* CheckedArguments(wxObject* mft_file_record, const wxString& full_path)
{
    const auto* record = dynamic_cast<const MFTFileRecord*>(mft_file_record);
    if (record == nullptr) {
        LogErrorText(wxS("GetMFTRecordTabStringArr() - mft_file_record is not of type MFTFileRecord."));
        return nullptr;
    }
    if (full_path.empty()) {
        LogErrorText(wxS("GetMFTRecordTabStringArr() - full_path string is empty."));
        return nullptr;
    }
    if (run_settings.host_name.empty()) {
        LogErrorText(wxS("GetMFTRecordTabStringArr() - host_name string is empty."));
        return nullptr;
    }
    return record;
}

void AddLine(wxArrayString& lines, const RecordRowValues& values, const MFTDataAttr* stream, ReportFormat format)
{
    lines.Add(wxString());
    wxString& line = lines.Last();
    line.reserve(kLineReserve);
    AppendReportLine(line, values, stream, format);
}

}  // namespace

wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path)
{
    wxArrayString lines;
    const MFTFileRecord* record = CheckedArguments(mft_file_record, full_path);
    if (record == nullptr) {
        return lines;
    }
    RecordRowValues values;
    GatherRecordRowValues(*record, full_path, run_settings.host_name, values);
    const ReportFormat format = CurrentReportFormat();
    AddLine(lines, values, nullptr, format);
    for (const MFTDataAttr* data : record->data_attr_array) {
        if (data != nullptr && data->is_ads) {
            AddLine(lines, values, data, format);
        }
    }
    return lines;
}
