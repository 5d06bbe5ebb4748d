#ifndef VARNETH_APP_FORMAT_COUNT_H
#define VARNETH_APP_FORMAT_COUNT_H

#include <cstdint>

#include <wx/string.h>

#include "numbers/number_formatter.h"

// The driver's way of printing a count: decimal text through the formatter.
wxString FormatCount(NumberFormatter& formatter, std::uint64_t count);

#endif
