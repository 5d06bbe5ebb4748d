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

const MFTFileRecord* CheckedArguments(wxObject* mft_file_record, bool full_path_empty)
{
    const auto* record = dynamic_cast<const MFTFileRecord*>(mft_file_record);
    if (record == nullptr) {
        LogErrorText(wxS("GetMFTRecordTabStringArr() - mft_file_record is not of type MFTFileRecord."));
        return nullptr;
    }
    if (full_path_empty) {
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

bool AddLine(ReportLineSink& sink, const RecordRowValues& values, const MFTDataAttr* stream, ReportFormat format)
{
    AppendReportLine(sink.Bytes(), values, stream, format);
    return sink.LineDone();
}

}  // namespace

wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path)
{
    wxArrayString lines;
    const MFTFileRecord* record = CheckedArguments(mft_file_record, full_path.empty());
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

ReportRowsResult AppendMFTRecordRows(ReportLineSink& sink, wxObject* mft_file_record,
                                     const std::string& full_path_utf8)
{
    const MFTFileRecord* record = CheckedArguments(mft_file_record, full_path_utf8.empty());
    if (record == nullptr) {
        return ReportRowsResult::kNoRows;
    }
    // Kept from record to record: its strings keep their storage.
    static RecordRowValues values;
    static const wxString no_wide_path;
    GatherRecordRowValues(*record, no_wide_path, run_settings.host_name, values);
    values.full_path_utf8 = &full_path_utf8;
    const ReportFormat format = CurrentReportFormat();
    if (!AddLine(sink, values, nullptr, format)) {
        return ReportRowsResult::kSinkFailed;
    }
    for (const MFTDataAttr* data : record->data_attr_array) {
        if (data != nullptr && data->is_ads && !AddLine(sink, values, data, format)) {
            return ReportRowsResult::kSinkFailed;
        }
    }
    return ReportRowsResult::kWritten;
}
