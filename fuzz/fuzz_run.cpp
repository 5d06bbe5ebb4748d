// libFuzzer target: the whole tool on a small $MFT file, in a scratch
// directory of its own, with its console output caught in memory
// (whole_run_glue.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/entries/run_entry.h"
#include "fuzz/whole_run_glue.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_glue::StartWholeRunTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_glue::CrashOnFinding(
        fuzz_entry::FuzzWholeRun(data, size, fuzz_glue::ScratchDirectory(), fuzz_glue::ConsoleDescriptor()));
    return 0;
}
