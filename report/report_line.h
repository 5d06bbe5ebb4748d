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
#include "report/time_text.h"

struct RecordRowValues {
    std::uint64_t recno = 0;
    bool in_use = false;
    bool directory = false;
    wxString filename;      // full name of the first non-DOS name, as split
    wxString ext;           // its extension, without the dot
    wxString dos_filename;  // full name of the first DOS name
    const std::string* full_path = nullptr;  // in UTF-8
    const wxString* host_name = nullptr;
    const MFTStdInfoAttr* std_info = nullptr;
    const MFTFileNameAttr* first_file_name = nullptr;  // null: no fn times
    const MFTDataAttr* first_data = nullptr;           // null: no $DATA
};

// The ActualSize of a stream: its value length when resident, else its real size.
std::uint64_t ActualSize(const MFTDataAttr& data);

// Gathers the shared values; the two strings must outlive the result.
void GatherRecordRowValues(const MFTFileRecord& record, const std::string& full_path_utf8,
                           const wxString& host_name, RecordRowValues& values);

// Appends one complete UTF-8 line (TABs, final LF): the record row when
// stream is null, else the row of that alternate data stream. Names, paths
// and the host name are written with control characters replaced
// (text/replacement); times come from time_texts.
void AppendReportLine(std::string& line, const RecordRowValues& values, const MFTDataAttr* stream,
                      ReportFormat format, UtcTimeTexts& time_texts);

#endif
