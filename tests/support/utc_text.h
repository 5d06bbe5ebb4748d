#ifndef VARNETH_TESTS_SUPPORT_UTC_TEXT_H
#define VARNETH_TESTS_SUPPORT_UTC_TEXT_H

#include <string>

#include <wx/datetime.h>

#include "report/time_text.h"

namespace varneth_test {

// A time as the report shows it: decoded times stated readably.
inline std::string UtcText(const wxDateTime& time)
{
    char text[kUtcTimeTextSize];
    return std::string(text, FormatUtcTime(time, text));
}

}  // namespace varneth_test

#endif
