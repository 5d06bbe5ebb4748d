#ifndef VARNETH_FUZZ_FUZZ_GLUE_H
#define VARNETH_FUZZ_FUZZ_GLUE_H

// What every fuzz target needs once per process, and how it reports a
// finding: printed, then a crash, so that libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <wx/init.h>

namespace fuzz_glue {

// wxWidgets must be initialised once before any of its objects is used.
inline void InitialiseLibrary()
{
    static wxInitializer initializer;
    if (!initializer.IsOk()) {
        std::fprintf(stderr, "wxWidgets did not initialise\n");
        std::abort();
    }
}

inline void CrashOnFinding(const std::string& finding)
{
    if (!finding.empty()) {
        std::fprintf(stderr, "broken promise: %s\n", finding.c_str());
        std::abort();
    }
}

}  // namespace fuzz_glue

#endif
