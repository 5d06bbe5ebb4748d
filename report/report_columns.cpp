#include "report/report_columns.h"

#include "base/run_settings.h"

ReportFormat CurrentReportFormat()
{
    ReportFormat format;
    format.long_format = run_settings.long_format;
    format.short_format = run_settings.short_format;
    return format;
}

wxString GetReportHeaderString()
{
    const ReportFormat format = CurrentReportFormat();
    if (format.long_format && format.short_format) {
        return wxString();
    }
    wxString header;
    for (std::size_t i = 0; i < kReportColumns.size(); ++i) {
        if (!ColumnInFormat(kReportColumns[i], format)) {
            continue;
        }
        header += wxString::FromAscii(kReportColumns[i].name);
        header += (i + 1 == kReportColumns.size()) ? wxS('\n') : wxS('\t');
    }
    return header;
}
