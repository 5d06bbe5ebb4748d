#ifndef VARNETH_TESTS_SUPPORT_CLI_RUNNER_H
#define VARNETH_TESTS_SUPPORT_CLI_RUNNER_H

// Runs the built varneth binary as a user would, in a scratch directory.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace varneth_test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct RunResult {
    int exit_status = -1;  // as the shell sees it (0 to 255), or -1 if killed
    std::string out;       // standard output
    std::string err;       // standard error
};

struct RunOptions {
    std::string working_dir;                                  // default: current directory
    std::vector<std::pair<std::string, std::string>> env;     // added or replaced
    unsigned timeout_seconds = 120;
    long file_size_limit = -1;  // bytes; writes past it fail (no signal)
    std::function<void(int pid)> started;  // called with the run's process id once it runs
};

RunResult RunVarnethBinary(const std::vector<std::string>& args, const RunOptions& options = {});
// The same, run in the given directory.
RunResult RunVarnethIn(const TempDir& dir, const std::vector<std::string>& args, RunOptions options = {});

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);  // on "\n", last empty piece dropped
// The text of each log line, with its "YYYY-MM-DD HH:MM:SS: " stamp removed;
// lines without a stamp are left out.
std::vector<std::string> LogTexts(const std::string& output);

}  // namespace varneth_test

#endif
