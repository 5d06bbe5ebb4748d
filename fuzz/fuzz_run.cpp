// libFuzzer target: the whole tool on a small $MFT file, in a scratch
// directory of its own, with its console output caught in memory.
//
// Everything an input touches stays in memory: the scratch directory is made
// once, on a RAM-backed file system (/dev/shm) when there is one, so that the
// report's flushes to disk cost nothing; standard output goes to a memfd,
// emptied before each run and checked after it.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
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

int& ConsoleDescriptor()
{
    static int descriptor = -1;
    return descriptor;
}

std::filesystem::path ScratchParent()
{
    std::error_code ignored;
    const std::filesystem::path shared_memory = "/dev/shm";
    if (std::filesystem::is_directory(shared_memory, ignored) && access(shared_memory.c_str(), W_OK) == 0) {
        return shared_memory;
    }
    return std::filesystem::temp_directory_path();
}

void MakeScratchDirectory()
{
    std::string pattern = (ScratchParent() / "varneth-fuzz-run-XXXXXX").string();
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

// Standard output into a memfd (or /dev/null, unchecked, where there is none):
// progress lines and name lists would drown libFuzzer's own output.
void CatchStandardOutput()
{
    int descriptor = memfd_create("varneth-fuzz-console", MFD_CLOEXEC);
    ConsoleDescriptor() = STDOUT_FILENO;
    if (descriptor < 0) {
        descriptor = open("/dev/null", O_WRONLY);
        ConsoleDescriptor() = -1;
    }
    if (descriptor >= 0) {
        dup2(descriptor, STDOUT_FILENO);
        close(descriptor);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_glue::InitialiseLibrary();
    MakeScratchDirectory();
    std::atexit(RemoveScratchDirectory);
    CatchStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_glue::CrashOnFinding(fuzz_entry::FuzzWholeRun(data, size, ScratchDirectory(), ConsoleDescriptor()));
    return 0;
}
