#include "app/run_settings.h"

RunSettings run_settings;

const wxString tool_version = wxS("V.3.1.0");
