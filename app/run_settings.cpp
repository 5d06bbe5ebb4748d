#include "app/run_settings.h"

// The build passes the version from CMakeLists.txt, so it is written only there.
#ifndef VARNETH_VERSION
#error "VARNETH_VERSION must be defined by the build"
#endif

RunSettings run_settings;

const wxString tool_version = wxString::FromAscii("V." VARNETH_VERSION);
