#ifndef VARNETH_REPORT_REPORT_ROWS_H
#define VARNETH_REPORT_REPORT_ROWS_H

#include <string>
#include <string_view>

#include <wx/arrstr.h>
#include <wx/object.h>
#include <wx/string.h>

#include "base/report_line_sink.h"
#include "report/report_columns.h"
#include "report/report_line.h"

enum class ReportRowsResult { kWritten, kNoRows, kSinkFailed };

// Makes the report lines of decoded records in one format, in UTF-8
// (text/utf8_text). What it keeps from record to record (the gathered
// values' storage, the time texts already made) only saves work: one
// builder serves a whole run, and its lines never depend on what it made
// before.
class ReportRowBuilder {
public:
    explicit ReportRowBuilder(ReportFormat format) : lines_(format) {}

    // The record's own line first, then one line per alternate data stream in
    // the order of its $DATA attributes, each complete (TABs, final LF). An
    // object that is not an MFTFileRecord, an empty full path or an empty
    // host name is logged, in that order of checks, and gives no lines.
    ReportRowsResult AppendMFTRecordRows(ReportLineSink& sink, wxObject* mft_file_record,
                                         const std::string& full_path_utf8);

private:
    // The record row when stream is null; false when the sink refuses it.
    bool AppendLine(ReportLineSink& sink, const MFTDataAttr* stream);

    // The host name as the rows show it, made again when the setting changes.
    std::string_view HostNameText(const wxString& host_name);

    ReportLineWriter lines_;
    RecordRowValues values_;
    wxString host_name_;
    std::string host_name_utf8_;
};

// The same lines as wide strings, made by a builder of the current format
// for this one call; the path is given as wide text. An empty list when a
// check fails (logged as above) or there is no current format.
wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path);

#endif
