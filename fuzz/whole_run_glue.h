#ifndef VARNETH_FUZZ_WHOLE_RUN_GLUE_H
#define VARNETH_FUZZ_WHOLE_RUN_GLUE_H

// What the targets that run the whole tool need once per process: a scratch
// directory of their own and their console output caught in memory.
//
// Everything an input touches stays in memory: the scratch directory is made
// once, on a RAM-backed file system (/dev/shm) when there is one, so that the
// report's flushes to disk cost nothing; standard output goes to a memfd,
// emptied before each run and checked after it.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_glue.h"

namespace fuzz_glue {

inline std::string& ScratchDirectory()
{
    static std::string directory;
    return directory;
}

inline int& ConsoleDescriptor()
{
    static int descriptor = -1;
    return descriptor;
}

inline std::filesystem::path ScratchParent()
{
    std::error_code ignored;
    const std::filesystem::path shared_memory = "/dev/shm";
    if (std::filesystem::is_directory(shared_memory, ignored) && access(shared_memory.c_str(), W_OK) == 0) {
        return shared_memory;
    }
    return std::filesystem::temp_directory_path();
}

inline constexpr char kScratchPrefix[] = "varneth-fuzz-run-";

// A process stopped by a finding, a timeout or SIGINT leaves with _Exit, so
// its directory stays behind; the next process removes those whose owner has
// gone, so that long campaigns do not fill the RAM-backed file system.
inline void RemoveAbandonedScratchDirectories(const std::filesystem::path& parent)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(parent, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kScratchPrefix, 0) != 0) {
            continue;
        }
        const long owner = std::strtol(name.c_str() + sizeof kScratchPrefix - 1, nullptr, 10);
        if (owner > 0 && kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
}

inline void MakeScratchDirectory()
{
    const std::filesystem::path parent = ScratchParent();
    RemoveAbandonedScratchDirectories(parent);
    std::string pattern = (parent / (kScratchPrefix + std::to_string(getpid()) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    ScratchDirectory() = pattern;
}

inline void RemoveScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(ScratchDirectory(), ignored);
}

// Standard output into a memfd (or /dev/null, unchecked, where there is none):
// progress lines and name lists would drown libFuzzer's own output.
inline void CatchStandardOutput()
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

// Once per process, before the first input.
inline void StartWholeRunTarget()
{
    InitialiseLibrary();
    MakeScratchDirectory();
    std::atexit(RemoveScratchDirectory);
    CatchStandardOutput();
}

}  // namespace fuzz_glue

#endif
