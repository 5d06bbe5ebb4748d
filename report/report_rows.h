#ifndef VARNETH_REPORT_REPORT_ROWS_H
#define VARNETH_REPORT_REPORT_ROWS_H

#include <string>

#include <wx/arrstr.h>
#include <wx/object.h>
#include <wx/string.h>

// The report lines of one decoded record: its own line first, then one line
// per alternate data stream in the order of its $DATA attributes. Each line
// is complete (TABs, final LF) in the current output format. An object that
// is not an MFTFileRecord, an empty full_path or an empty host name is
// logged and gives an empty list.
wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path);

// Where the lines of a record go when they are made straight in UTF-8: each
// line is appended to Bytes(), then LineDone() is called; a false return
// stops the record's lines.
class ReportLineSink {
public:
    virtual std::string& Bytes() = 0;
    virtual bool LineDone() = 0;

protected:
    ~ReportLineSink() = default;
};

enum class ReportRowsResult { kWritten, kNoRows, kSinkFailed };

// The same lines as GetMFTRecordTabStringArr, with the same checks and log
// lines, in UTF-8 (text/utf8_text), with the path given in UTF-8 as well.
ReportRowsResult AppendMFTRecordRows(ReportLineSink& sink, wxObject* mft_file_record,
                                     const std::string& full_path_utf8);

#endif
