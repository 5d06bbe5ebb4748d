#include "report/report_columns.h"

wxString GetReportHeaderString(ReportFormat format)
{
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
