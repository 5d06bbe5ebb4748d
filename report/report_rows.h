#ifndef VARNETH_REPORT_REPORT_ROWS_H
#define VARNETH_REPORT_REPORT_ROWS_H

#include <wx/arrstr.h>
#include <wx/object.h>
#include <wx/string.h>

// The report lines of one decoded record: its own line first, then one line
// per alternate data stream in the order of its $DATA attributes. Each line
// is complete (TABs, final LF) in the current output format. An object that
// is not an MFTFileRecord, an empty full_path or an empty host name is
// logged and gives an empty list.
wxArrayString GetMFTRecordTabStringArr(wxObject* mft_file_record, const wxString& full_path);

#endif
