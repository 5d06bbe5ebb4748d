#ifndef VARNETH_APP_COMMAND_LINE_H
#define VARNETH_APP_COMMAND_LINE_H

#include <wx/cmdline.h>
#include <wx/string.h>

// The banner that heads the usage text and that the version switch prints.
wxString GetBanner();

// Declares the switches, parses, handles help and version, fills
// run_settings and checks which switches may be combined. Returns 0 to go on,
// -1 to stop (everything the user needs to see has been printed).
int ProcessCommandLine(wxCmdLineParser& parser);

// How many of the switches a, d, f, l, s, v, z and the options o, m, b are given.
int CountSwitchesGiven(const wxCmdLineParser& parser);

#endif
