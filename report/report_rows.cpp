#include "report/report_rows.h"

#include "base/log_message.h"
#include "base/run_settings.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "report/report_columns.h"
#include "report/report_line.h"

namespace {

// Typical lines are well under this; one reservation avoids regrowing the
// line as its columns are appended.
constexpr std::size_t kLineReserve = 512;

const MFTFileRecord* CheckedArguments(wxObject* mft_file_record, bool full_path_empty)
{
    const MFTFileRecord* record = AsKindOf<MFTFileRecord>(mft_file_record);
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

// The record's own line, then one per alternate data stream; false when
// add_line refuses one, which ends the record's lines.
template <typename AddLine>
bool AddRecordLines(const MFTFileRecord& record, AddLine add_line)
{
    if (!add_line(nullptr)) {
        return false;
    }
    for (const MFTDataAttr* data : record.data_attr_array) {
        if (data != nullptr && data->is_ads && !add_line(data)) {
            return false;
        }
    }
    return true;
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
    AddRecordLines(*record, [&](const MFTDataAttr* stream) {
        lines.Add(wxString());
        wxString& line = lines.Last();
        line.reserve(kLineReserve);
        AppendReportLine(line, values, stream, format);
        return true;
    });
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
    const bool written = AddRecordLines(*record, [&](const MFTDataAttr* stream) {
        AppendReportLine(sink.Bytes(), values, stream, format);
        return sink.LineDone();
    });
    return written ? ReportRowsResult::kWritten : ReportRowsResult::kSinkFailed;
}
