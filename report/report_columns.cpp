#include "report/report_columns.h"

#include "base/run_settings.h"

std::optional<ReportFormat> CurrentReportFormat()
{
    if (run_settings.long_format && run_settings.short_format) {
        return std::nullopt;
    }
    if (run_settings.long_format) {
        return ReportFormat::kLong;
    }
    return run_settings.short_format ? ReportFormat::kShort : ReportFormat::kDefault;
}

wxString GetReportHeaderString()
{
    const std::optional<ReportFormat> format = CurrentReportFormat();
    if (!format) {
        return wxString();
    }
    wxString header;
    for (std::size_t i = 0; i < kReportColumns.size(); ++i) {
        if (!ColumnInFormat(kReportColumns[i], *format)) {
            continue;
        }
        header += wxString::FromAscii(kReportColumns[i].name);
        header += (i + 1 == kReportColumns.size()) ? wxS('\n') : wxS('\t');
    }
    return header;
}
