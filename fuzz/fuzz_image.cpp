// libFuzzer target: the whole tool on a small disk or volume image, in a
// scratch directory of its own, with its console output caught in memory
// (whole_run_glue.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/entries/image_entry.h"
#include "fuzz/whole_run_glue.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_glue::StartWholeRunTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_glue::CrashOnFinding(
        fuzz_entry::FuzzImageRun(data, size, fuzz_glue::ScratchDirectory(), fuzz_glue::ConsoleDescriptor()));
    return 0;
}
