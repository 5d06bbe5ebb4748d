#include "report/report_rows.h"

#include "mft/kind_check.h"
#include "mft/mft_file_record.h"
#include "text/replacement.h"
#include "text/utf8_text.h"

namespace {

const MFTFileRecord* CheckedArguments(wxObject* mft_file_record, bool full_path_empty, bool host_name_empty,
                                      Diagnostics& diagnostics)
{
    const MFTFileRecord* record = AsKindOf<MFTFileRecord>(mft_file_record);
    if (record == nullptr) {
        diagnostics.Error(wxS("GetMFTRecordTabStringArr() - mft_file_record is not of type MFTFileRecord."));
        return nullptr;
    }
    if (full_path_empty) {
        diagnostics.Error(wxS("GetMFTRecordTabStringArr() - full_path string is empty."));
        return nullptr;
    }
    if (host_name_empty) {
        diagnostics.Error(wxS("GetMFTRecordTabStringArr() - host_name string is empty."));
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

ReportRowBuilder::ReportRowBuilder(ReportFormat format, const wxString& host_name)
    : lines_(format), no_host_name_(host_name.empty())
{
    AppendSanitized(host_name_utf8_, host_name);
}

ReportRowsResult ReportRowBuilder::AppendMFTRecordRows(ReportLineSink& sink, wxObject* mft_file_record,
                                                       const std::string& full_path_utf8, Diagnostics& diagnostics)
{
    const MFTFileRecord* record =
        CheckedArguments(mft_file_record, full_path_utf8.empty(), no_host_name_, diagnostics);
    if (record == nullptr) {
        return ReportRowsResult::kNoRows;
    }
    GatherRecordRowValues(*record, full_path_utf8, host_name_utf8_, values_);
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

wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path, ReportFormat format,
                                       const wxString& host_name, Diagnostics& diagnostics)
{
    wxArrayString lines;
    WideLines sink(lines);
    ReportRowBuilder(format, host_name).AppendMFTRecordRows(sink, mft_file_record, ToUtf8(full_path), diagnostics);
    return lines;
}
