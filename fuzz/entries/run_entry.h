#ifndef VARNETH_FUZZ_ENTRIES_RUN_ENTRY_H
#define VARNETH_FUZZ_ENTRIES_RUN_ENTRY_H

// One fuzz input as a whole $MFT file, run through the tool from its command
// line to its exit status, in a scratch directory. The byte at offset 8 (the
// low byte of record 0's log sequence number, which the tool never reads)
// picks the switches, so a real $MFT is a seed as it stands. Afterwards the
// input must be unchanged and the directory hold nothing but the input, the
// report, its archive, the body file and the debug log; the report, the body
// file and the console output are UTF-8, every report line has the header's
// columns and every body line its eleven fields, each of its shape.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <wx/arrstr.h>
#include <wx/log.h>

#include "app/run_sequence.h"
#include "base/log_message.h"
#include "app/run_settings.h"
#include "fuzz/entries/findings.h"
#include "fuzz/entries/utf8_check.h"
#include "mft/byte_reader.h"

namespace fuzz_entry {

constexpr std::size_t kModeByte = 8;
const char* const kInputName = "in.mft";
const char* const kBodyName = "timeline.body";

struct RunMode {
    std::vector<const char*> switches;
    const char* report;  // what the run may leave besides the input
};

inline const std::vector<RunMode>& RunModes()
{
    static const std::vector<RunMode> modes = {
        {{}, "varneth_localhost.txt"},
        {{"-l", "-o", "report.txt"}, "report.txt"},
        {{"-s", "-o", "report.txt"}, "report.txt"},
        {{"-f"}, ""},
        {{"-a"}, ""},
        {{"-z", "-o", "report.txt"}, "report.txt"},
        {{"-v", "-d", "-o", "report.txt"}, "report.txt"},
        {{"-l", "-z", "-m", "WS01"}, "varneth_WS01.txt"},
        {{"-b", kBodyName, "-o", "report.txt"}, "report.txt"},
    };
    return modes;
}

inline const RunMode& ModeOf(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t selector = ByteReader(data, size).U8At(kModeByte);  // 0 past the end
    return RunModes()[selector % RunModes().size()];
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return bytes;
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && status.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        const ssize_t got = pread(fd, bytes.data(), bytes.size(), 0);
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    close(fd);
    return bytes;
}

inline bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    return written;
}

// The names in the directory, in one scan.
inline std::vector<std::string> NamesIn(const std::string& dir)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

inline void RemoveAll(const std::string& dir, const std::vector<std::string>& names)
{
    std::error_code ignored;
    for (const std::string& name : names) {
        if (unlink((dir + "/" + name).c_str()) != 0) {
            std::filesystem::remove_all(dir + "/" + name, ignored);  // not a plain file
        }
    }
}

inline void CheckLeftovers(const std::vector<std::string>& names, const RunMode& mode, Findings& findings)
{
    const std::string report = mode.report;
    for (const std::string& name : names) {
        findings.Expect(name == kInputName || name == report || name == report + ".zip" || name == "varneth.log" ||
                            name == kBodyName,
                        "the run makes no other file");
    }
}

// The lines of a text, each without its LF; false when the last has none.
inline bool SplitLines(std::string_view text, std::vector<std::string_view>& lines)
{
    lines.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return false;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

inline bool AllDigits(std::string_view field)
{
    return !field.empty() && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// MD5|name|inode|mode|UID|GID|size|atime|mtime|ctime|crtime. Every field but
// the name has a fixed shape without '|', so eleven fields, each of its
// shape, also mean that no '|' stands unescaped in a name (names write it
// as %7C). The times are whole seconds since 1970, never negative
// (report/body_line.cpp writes them unsigned).
inline void CheckBodyLine(std::string_view line, Findings& findings)
{
    // No allocation: this runs for every body line of every input.
    std::array<std::string_view, 11> fields;
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = line.find('|', start);
        if (count < fields.size()) {
            fields[count] = line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
        }
        ++count;
        if (bar == std::string_view::npos) {
            break;
        }
        start = bar + 1;
    }
    findings.Expect(count == 11, "every body line has eleven fields");
    if (count != 11) {
        return;
    }
    findings.Expect(fields[0] == "0", "a body line's MD5 field is 0");
    findings.Expect(!fields[2].empty() && fields[2].find_first_not_of("0123456789-") == std::string_view::npos,
                    "a body line's inode is a record number and attribute");
    findings.Expect(fields[3] == "r/rrwxrwxrwx" || fields[3] == "d/drwxrwxrwx", "a body line's mode is a file's or a folder's");
    findings.Expect(fields[4] == "0" && fields[5] == "0", "a body line's UID and GID are 0");
    findings.Expect(AllDigits(fields[6]), "a body line's size is a number");
    for (std::size_t i = 7; i < 11; ++i) {
        findings.Expect(AllDigits(fields[i]), "a body line's four times are numbers");
    }
    findings.Expect(std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
                    "a body line holds no control character");
}

inline void CheckBodyLines(const std::string& body, Findings& findings)
{
    findings.Expect(IsValidUtf8(body), "the body file is UTF-8");
    std::vector<std::string_view> lines;
    findings.Expect(SplitLines(body, lines), "every body line ends with LF");
    for (std::string_view line : lines) {
        CheckBodyLine(line, findings);
    }
}

// Every line has the header's columns; the last ends with LF.
inline void CheckReportLines(const std::string& report, Findings& findings)
{
    findings.Expect(IsValidUtf8(report), "the report is UTF-8");
    std::vector<std::string_view> lines;
    findings.Expect(SplitLines(report, lines), "every report line ends with LF");
    if (lines.empty()) {
        return;
    }
    const auto columns = std::count(lines[0].begin(), lines[0].end(), '\t');
    for (std::string_view line : lines) {
        findings.Expect(std::count(line.begin(), line.end(), '\t') == columns, "every report line has the header's columns");
    }
}

// Runs the tool with the current directory set to dir, as a user would.
inline int RunInDirectory(const std::string& dir, const wxArrayString& arguments)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    run_settings = RunSettings{};
    log_message.clear();
    // The run installs and deletes its own log targets.
    wxLog* outer_target = wxLog::SetActiveTarget(nullptr);
    const wxLogLevel outer_level = wxLog::GetLogLevel();
    const int status = RunVarneth(arguments);
    delete wxLog::SetActiveTarget(outer_target);
    wxLog::SetLogLevel(outer_level);
    std::filesystem::current_path(previous);
    return status;
}

// The console: standard output, when console_fd is its descriptor (a
// memfd or a file), is emptied before the run and checked after it.
inline void StartConsole(int console_fd)
{
    if (console_fd >= 0) {
        std::fflush(stdout);
        if (ftruncate(console_fd, 0) == 0) {
            lseek(console_fd, 0, SEEK_SET);
        }
    }
}

inline void CheckConsole(int console_fd, Findings& findings)
{
    if (console_fd < 0) {
        return;
    }
    std::fflush(stdout);
    std::string text(static_cast<std::size_t>(std::max<off_t>(lseek(console_fd, 0, SEEK_CUR), 0)), '\0');
    const ssize_t got = pread(console_fd, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    findings.Expect(IsValidUtf8(text), "the console output (log lines, listings) is UTF-8");
}

// The tool run on the input with the mode's switches and then the extra
// ones, and the promises checked after it. dir must exist, be empty and be
// given to this entry alone; it is left empty. console_fd: see StartConsole
// (-1: not checked). The first promise that did not hold, or an empty text.
inline std::string CheckedRun(const std::uint8_t* data, std::size_t size, const RunMode& mode,
                              const std::vector<const char*>& extra_switches, const std::string& dir, int console_fd)
{
    Findings findings;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string input_path = dir + "/" + kInputName;
    findings.Expect(WriteWholeFile(input_path, input), "the scratch directory takes the input");
    wxArrayString arguments;
    arguments.Add(wxS("varneth"));
    for (const char* argument : mode.switches) {
        arguments.Add(argument);
    }
    for (const char* argument : extra_switches) {
        arguments.Add(argument);
    }
    arguments.Add(kInputName);
    StartConsole(console_fd);
    const int status = RunInDirectory(dir, arguments);
    findings.Expect(status == 0 || status == -1, "the run returns 0 or -1");
    CheckConsole(console_fd, findings);
    findings.Expect(ReadWholeFile(input_path) == input, "the input is never changed");
    const std::vector<std::string> names = NamesIn(dir);
    CheckLeftovers(names, mode, findings);
    const std::string report = mode.report;
    if (!report.empty() && std::find(names.begin(), names.end(), report) != names.end()) {
        CheckReportLines(ReadWholeFile(dir + "/" + report), findings);
    }
    if (std::find(names.begin(), names.end(), kBodyName) != names.end()) {
        CheckBodyLines(ReadWholeFile(dir + "/" + kBodyName), findings);
    }
    RemoveAll(dir, names);
    return findings.First();
}

// The input as an $MFT file, its switches picked by byte 8.
inline std::string FuzzWholeRun(const std::uint8_t* data, std::size_t size, const std::string& dir,
                                int console_fd = -1)
{
    return CheckedRun(data, size, ModeOf(data, size), {}, dir, console_fd);
}

}  // namespace fuzz_entry

#endif
