#ifndef VARNETH_REPORT_REPORT_ROWS_H
#define VARNETH_REPORT_REPORT_ROWS_H

#include <string>
#include <string_view>

#include <wx/arrstr.h>
#include <wx/object.h>
#include <wx/string.h>

#include "base/report_line_sink.h"
#include "base/diagnostics.h"
#include "report/report_columns.h"
#include "report/report_line.h"

enum class ReportRowsResult { kWritten, kNoRows, kSinkFailed };

// Makes the report lines of decoded records in one format, with one host
// name in the Hostname column, in UTF-8 (text/utf8_text). What it keeps from
// record to record (the gathered values' storage, the time texts already
// made) only saves work: one builder serves a whole run, and its lines never
// depend on what it made before.
class ReportRowBuilder {
public:
    ReportRowBuilder(ReportFormat format, const wxString& host_name);

    // The record's own line first, then one line per alternate data stream in
    // the order of its $DATA attributes, each complete (TABs, final LF). An
    // object that is not an MFTFileRecord, an empty full path or an empty
    // host name is said in diagnostics, in that order of checks, and gives no
    // lines.
    ReportRowsResult AppendMFTRecordRows(ReportLineSink& sink, wxObject* mft_file_record,
                                         const std::string& full_path_utf8, Diagnostics& diagnostics);

private:
    // The record row when stream is null; false when the sink refuses it.
    bool AppendLine(ReportLineSink& sink, const MFTDataAttr* stream);

    ReportLineWriter lines_;
    RecordRowValues values_;
    bool no_host_name_;
    std::string host_name_utf8_;  // as the rows show it
};

// The same lines as wide strings, made by a builder for this one call; the
// path is given as wide text. An empty list when a check fails (said as
// above).
wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path, ReportFormat format,
                                       const wxString& host_name, Diagnostics& diagnostics);

#endif
