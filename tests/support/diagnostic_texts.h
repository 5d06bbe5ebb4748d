#ifndef VARNETH_TESTS_SUPPORT_DIAGNOSTIC_TEXTS_H
#define VARNETH_TESTS_SUPPORT_DIAGNOSTIC_TEXTS_H

// The texts of an operation's diagnostic lines, for comparing with the
// lines a test expects.

#include <vector>

#include <wx/string.h>

#include "base/diagnostics.h"

namespace varneth_test {

// Every level, in order.
inline std::vector<wxString> Texts(const Diagnostics& diagnostics)
{
    std::vector<wxString> texts;
    for (const DiagnosticLine& line : diagnostics) {
        texts.push_back(line.text);
    }
    return texts;
}

// One level, in order.
inline std::vector<wxString> TextsAt(const Diagnostics& diagnostics, DiagnosticLevel level)
{
    std::vector<wxString> texts;
    for (const DiagnosticLine& line : diagnostics) {
        if (line.level == level) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

}  // namespace varneth_test

#endif
