// libFuzzer target: the whole tool on a small $MFT file, in a scratch
// directory of its own, with its console output thrown away.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/entries/run_entry.h"
#include "fuzz/fuzz_glue.h"

namespace {

std::string& ScratchDirectory()
{
    static std::string directory;
    return directory;
}

void MakeScratchDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "varneth-fuzz-run-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    ScratchDirectory() = pattern;
}

void RemoveScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(ScratchDirectory(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_glue::InitialiseLibrary();
    MakeScratchDirectory();
    std::atexit(RemoveScratchDirectory);
    // Progress lines and name lists would drown libFuzzer's own output.
    const int null_device = open("/dev/null", O_WRONLY);
    if (null_device >= 0) {
        dup2(null_device, STDOUT_FILENO);
        close(null_device);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_glue::CrashOnFinding(fuzz_entry::FuzzWholeRun(data, size, ScratchDirectory()));
    return 0;
}
