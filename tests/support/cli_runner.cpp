#include "support/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace varneth_test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "varneth-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> LogTexts(const std::string& output)
{
    static const std::regex stamp("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}: (.*)$");
    // A progress line ends in a carriage return, and the next log line
    // follows it on the same console line.
    std::string lines = output;
    std::replace(lines.begin(), lines.end(), '\r', '\n');
    std::vector<std::string> texts;
    for (const std::string& line : SplitLines(lines)) {
        std::smatch match;
        if (std::regex_match(line, match, stamp)) {
            texts.push_back(match[1]);
        }
    }
    return texts;
}

namespace {

[[noreturn]] void ExecChild(const std::vector<std::string>& args, const RunOptions& options,
                            const std::string& out_path, const std::string& err_path)
{
    if (!options.working_dir.empty() && chdir(options.working_dir.c_str()) != 0) {
        _exit(126);
    }
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int in = open("/dev/null", O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(in, 0);
    for (const auto& [name, value] : options.env) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> argv;
    std::string binary = VARNETH_BINARY;
    argv.push_back(binary.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (options.file_size_limit >= 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                               static_cast<rlim_t>(options.file_size_limit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    alarm(options.timeout_seconds);  // a hung run is killed, and the test fails
    execv(binary.c_str(), argv.data());
    _exit(127);
}

}  // namespace

RunResult RunVarnethBinary(const std::vector<std::string>& args, const RunOptions& options)
{
    TempDir capture;
    const std::string out_path = capture.File("stdout");
    const std::string err_path = capture.File("stderr");
    pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ExecChild(args, options, out_path, err_path);
    }
    if (options.started) {
        options.started(child);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    RunResult result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(out_path);
    result.err = ReadFile(err_path);
    return result;
}

RunResult RunVarnethIn(const TempDir& dir, const std::vector<std::string>& args, RunOptions options)
{
    options.working_dir = dir.path();
    return RunVarnethBinary(args, options);
}

}  // namespace varneth_test
