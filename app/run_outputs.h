#ifndef VARNETH_APP_RUN_OUTPUTS_H
#define VARNETH_APP_RUN_OUTPUTS_H

#include <wx/string.h>

struct RunState;

// Opens the report (unless a name listing was asked for) and the body file
// (with -b), refusing either where it would land on the input, the debug log
// or the other output, and only then empties them and writes the report's
// header: a run that stops here leaves the files of an earlier run as they
// were, and removes those it created. False after a refusal or failure
// (logged).
bool OpenOutputs(RunState& state);

// True, after logging why, when an output would land where OpenOutputs
// refuses it: checked before the input is measured, so that a refused run
// says nothing else.
bool OutputsRefused(const RunState& state);

// True, after logging why, when the archive would land on the input (any
// file of an image), the debug log or the report.
bool RefuseArchiveName(const RunState& state, const wxString& zip_filename, const wxString& report_name);

#endif
