#ifndef VARNETH_REPORT_REPORT_LINE_H
#define VARNETH_REPORT_REPORT_LINE_H

// One report line of a decoded record, column by column as the column table
// orders them. The record row and its stream rows share every value but a
// few, so those shared values are gathered once per record.

#include <cstdint>
#include <string>

#include <wx/string.h>

#include "mft/mft_file_record.h"
#include "report/report_columns.h"

struct RecordRowValues {
    std::uint64_t recno = 0;
    bool in_use = false;
    bool directory = false;
    wxString filename;      // full name of the first non-DOS name, as split
    wxString ext;           // its extension, without the dot
    wxString dos_filename;  // full name of the first DOS name
    const wxString* full_path = nullptr;          // wide lines: the path as given
    const std::string* full_path_utf8 = nullptr;  // UTF-8 lines: the path in UTF-8, when given so
    const wxString* host_name = nullptr;
    const MFTStdInfoAttr* std_info = nullptr;
    const MFTFileNameAttr* first_file_name = nullptr;  // null: no fn times
    const MFTDataAttr* first_data = nullptr;           // null: no $DATA
};

// Gathers the shared values; the two strings must outlive the result.
void GatherRecordRowValues(const MFTFileRecord& record, const wxString& full_path, const wxString& host_name,
                           RecordRowValues& values);

// Appends one complete line (TABs, final LF): the record row when stream is
// null, else the row of that alternate data stream. Names, paths and the host
// name are written with control characters replaced. The UTF-8 line holds
// exactly the UTF-8 form of the wide one.
void AppendReportLine(wxString& line, const RecordRowValues& values, const MFTDataAttr* stream,
                      ReportFormat format);
void AppendReportLine(std::string& line, const RecordRowValues& values, const MFTDataAttr* stream,
                      ReportFormat format);

#endif
