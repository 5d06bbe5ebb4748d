#ifndef VARNETH_FUZZ_ENTRIES_NUMBER_ENTRY_H
#define VARNETH_FUZZ_ENTRIES_NUMBER_ENTRY_H

// One fuzz input as a style, a number text and a second style, separated by
// NUL bytes (each byte one character, ISO 8859-1): the style is installed,
// the number formatted, the second style installed over it and the number
// formatted again; every present sub-style renders the number on its own.
// The number also goes through the driver's own style, "[,###]".

#include <algorithm>
#include <cstdint>
#include <vector>

#include <wx/strconv.h>

#include "fuzz/entries/findings.h"
#include "numbers/number_formatter.h"

namespace fuzz_entry {

inline std::vector<wxString> SplitAtNul(const std::uint8_t* data, std::size_t size, std::size_t pieces)
{
    std::vector<wxString> texts;
    std::size_t start = 0;
    while (texts.size() + 1 < pieces) {
        const std::uint8_t* end = std::find(data + start, data + size, 0);
        const std::size_t stop = static_cast<std::size_t>(end - data);
        texts.emplace_back(reinterpret_cast<const char*>(data + start), wxConvISO8859_1, stop - start);
        start = std::min(size, stop + 1);
    }
    texts.emplace_back(reinterpret_cast<const char*>(data + start), wxConvISO8859_1, size - start);
    return texts;
}

inline bool InRange(int result, std::size_t length)
{
    return result == NumberFormatter::success || (result >= 0 && static_cast<std::size_t>(result) <= length);
}

inline void CheckSetStyle(NumberFormatter& formatter, const wxString& text, Findings& findings)
{
    const wxString before = formatter.style;
    const int result = formatter.SetStyle(text);
    findings.Expect(InRange(result, text.length()), "SetStyle returns -1 or a position in the style");
    if (result == NumberFormatter::success) {
        findings.Expect(formatter.style == text, "an accepted style is installed");
    } else {
        findings.Expect(formatter.style == before, "a refused style leaves the old one");
        findings.Expect(!formatter.error_message.empty(), "a refused style says why");
    }
}

inline void CheckFormat(NumberFormatter& formatter, const wxString& number, Findings& findings)
{
    wxString output = wxS("not cleared");
    const int result = formatter.FormatNumber(number, output);
    findings.Expect(InRange(result, number.length()), "FormatNumber returns -1 or a position in the number");
    if (result != NumberFormatter::success) {
        findings.Expect(output.empty(), "a refused number leaves no output");
        findings.Expect(!formatter.error_message.empty(), "a refused number says why");
    }
}

inline void CheckSubStyles(NumberFormatter& formatter, const wxString& number, Findings& findings)
{
    wxString trimmed = number;
    trimmed.Trim(true).Trim(false);
    if (trimmed.empty() || formatter.ValidateNumber(trimmed) != NumberFormatter::success) {
        return;
    }
    for (int sub_style = 1; sub_style <= 3; ++sub_style) {
        wxString output;
        const int result = formatter.RenderNumber(sub_style, trimmed, output);
        findings.Expect(InRange(result, trimmed.length()), "RenderNumber returns -1 or a position in the number");
    }
}

// The driver's style groups a digit string by threes and drops nothing else.
inline void CheckCountStyle(const wxString& number, Findings& findings)
{
    NumberFormatter formatter(wxS("[,###]"));
    wxString output;
    const int result = formatter.FormatNumber(number, output);
    const bool digits_only = !number.empty() && number.find_first_not_of(wxS("0123456789")) == wxString::npos;
    if (!digits_only) {
        return;
    }
    findings.Expect(result == NumberFormatter::success, "a digit string is a number");
    wxString ungrouped = output;
    ungrouped.Replace(wxS(","), wxString());
    findings.Expect(ungrouped == number, "grouping keeps every digit");
    findings.Expect(output.length() == number.length() + (number.length() - 1) / 3, "a comma between every three digits");
}

// The first promise that did not hold, or an empty text.
inline std::string FuzzNumberStyle(const std::uint8_t* data, std::size_t size)
{
    Findings findings;
    const std::vector<wxString> texts = SplitAtNul(data, size, 3);
    NumberFormatter formatter(wxString{});
    CheckSetStyle(formatter, texts[0], findings);
    CheckFormat(formatter, texts[1], findings);
    CheckSubStyles(formatter, texts[1], findings);
    CheckSetStyle(formatter, texts[2], findings);
    CheckFormat(formatter, texts[1], findings);
    CheckSubStyles(formatter, texts[1], findings);
    CheckCountStyle(texts[1], findings);
    return findings.First();
}

}  // namespace fuzz_entry

#endif
