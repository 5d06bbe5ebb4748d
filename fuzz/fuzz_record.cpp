// libFuzzer target: a small $MFT of up to 16 records, each decoded, its path
// walked, its report rows and name lists made.

#include <cstddef>
#include <cstdint>

#include "fuzz/entries/record_entry.h"
#include "fuzz/fuzz_glue.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_glue::InitialiseLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_glue::CrashOnFinding(fuzz_entry::FuzzRecords(data, size));
    return 0;
}
