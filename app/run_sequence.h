#ifndef VARNETH_APP_RUN_SEQUENCE_H
#define VARNETH_APP_RUN_SEQUENCE_H

#include <wx/arrstr.h>

// Runs the whole tool on the given arguments (program name first). Returns
// 0 after a completed run, 128 and the signal's number after a run that
// SIGINT or SIGTERM stopped, and -1 after any other early stop.
int RunVarneth(const wxArrayString& arguments);

#endif
