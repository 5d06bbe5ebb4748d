// libFuzzer target: number styles and number texts.

#include <cstddef>
#include <cstdint>

#include "fuzz/entries/number_entry.h"
#include "fuzz/fuzz_glue.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_glue::InitialiseLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_glue::CrashOnFinding(fuzz_entry::FuzzNumberStyle(data, size));
    return 0;
}
