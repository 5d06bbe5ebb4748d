#include "report/report_rows.h"

#include <optional>

#include "base/log_message.h"
#include "base/run_settings.h"
#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "text/replacement.h"
#include "text/utf8_text.h"

namespace {

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

// Each line kept apart, as wide text.
class WideLines final : public ReportLineSink {
public:
    explicit WideLines(wxArrayString& lines) : lines_(lines) {}

    std::string& Bytes() override { return bytes_; }
    bool LineDone() override
    {
        lines_.Add(wxString::FromUTF8(bytes_));
        bytes_.clear();
        return true;
    }

private:
    wxArrayString& lines_;
    std::string bytes_;
};

}  // namespace

ReportRowsResult ReportRowBuilder::AppendMFTRecordRows(ReportLineSink& sink, wxObject* mft_file_record,
                                                       const std::string& full_path_utf8)
{
    const MFTFileRecord* record = CheckedArguments(mft_file_record, full_path_utf8.empty());
    if (record == nullptr) {
        return ReportRowsResult::kNoRows;
    }
    GatherRecordRowValues(*record, full_path_utf8, HostNameText(run_settings.host_name), values_);
    if (!AppendLine(sink, nullptr)) {
        return ReportRowsResult::kSinkFailed;
    }
    for (const MFTDataAttr* data : record->data_attr_array) {
        if (data != nullptr && data->is_ads && !AppendLine(sink, data)) {
            return ReportRowsResult::kSinkFailed;
        }
    }
    return ReportRowsResult::kWritten;
}

bool ReportRowBuilder::AppendLine(ReportLineSink& sink, const MFTDataAttr* stream)
{
    lines_.Append(sink.Bytes(), values_, stream);
    return sink.LineDone();
}

std::string_view ReportRowBuilder::HostNameText(const wxString& host_name)
{
    if (host_name_utf8_.empty() || host_name != host_name_) {
        host_name_ = host_name;
        host_name_utf8_.clear();
        AppendSanitized(host_name_utf8_, host_name);
    }
    return host_name_utf8_;
}

wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path)
{
    wxArrayString lines;
    const std::optional<ReportFormat> format = CurrentReportFormat();
    if (!format) {
        return lines;  // as the header, which is then empty
    }
    WideLines sink(lines);
    ReportRowBuilder(*format).AppendMFTRecordRows(sink, mft_file_record, ToUtf8(full_path));
    return lines;
}
