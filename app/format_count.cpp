#include "app/format_count.h"

#include <string>

wxString FormatCount(NumberFormatter& formatter, std::uint64_t count)
{
    wxString output;
    formatter.FormatNumber(wxString::FromAscii(std::to_string(count).c_str()), output);
    return output;
}
