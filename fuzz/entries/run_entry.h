#ifndef VARNETH_FUZZ_ENTRIES_RUN_ENTRY_H
#define VARNETH_FUZZ_ENTRIES_RUN_ENTRY_H

// One fuzz input as a whole $MFT file, run through the tool from its command
// line to its exit status, in a scratch directory. The byte at offset 8 (the
// low byte of record 0's log sequence number, which the tool never reads)
// picks the switches, so a real $MFT is a seed as it stands; byte 9 (the
// next byte of that number) may make one output fail. Afterwards the input
// must be unchanged and the directory hold nothing but the input, the
// report, its archive, the body file, the JSON lines and the debug log; the
// report, the body file, the JSON lines and the console output are UTF-8,
// every report line has the header's columns, every body line its eleven
// fields, each of its shape, and every JSON line is one JSON object whose
// record numbers rise line by line.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
constexpr std::size_t kFaultByte = 9;
const char* const kInputName = "in.mft";
const char* const kBodyName = "timeline.body";
const char* const kJsonName = "records.jsonl";
// In a folder that is never made: the JSON lines cannot be opened.
const char* const kUnopenableJsonName = "missing/records.jsonl";

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
        {{"-j", kJsonName, "-o", "report.txt"}, "report.txt"},
        {{"-s", "-z", "-b", kBodyName, "-j", kJsonName, "--summary", "-o", "report.txt"}, "report.txt"},
    };
    return modes;
}

// One output made to fail, with the switch that asks for it when the mode
// does not: its name links to /dev/full (every write fails) or lies in a
// missing folder (the open fails). A run that would write the failing output
// must end with -1; one whose input stops it earlier ends with -1 anyway.
enum class Fault { kNone, kReportFull, kArchiveFull, kBodyFull, kJsonFull, kJsonUnopenable };

// Most inputs (byte 9 zero among them) meet no failure.
inline Fault FaultOf(const std::uint8_t* data, std::size_t size)
{
    const unsigned pick = ByteReader(data, size).U8At(kFaultByte) % 10u;
    return pick >= 1 && pick <= 5 ? static_cast<Fault>(pick) : Fault::kNone;
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
                            name == kBodyName || name == kJsonName,
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

// The syntax of one JSON value from text[at], no deeper than depth; at is
// left past it. Enough to tell whether a line is JSON, not what it means.
inline bool SkipJsonValue(std::string_view text, std::size_t& at, int depth)
{
    const auto skip_spaces = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
            ++at;
        }
    };
    const auto take = [&](char c) {
        skip_spaces();
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    const auto skip_string = [&] {
        if (!take('"')) {
            return false;
        }
        while (at < text.size() && text[at] != '"') {
            const unsigned char c = static_cast<unsigned char>(text[at++]);
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                if (at >= text.size()) {
                    return false;
                }
                const char escaped = text[at++];
                if (escaped == 'u') {
                    for (int i = 0; i < 4; ++i, ++at) {
                        if (at >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[at]))) {
                            return false;
                        }
                    }
                } else if (std::string_view("\"\\/bfnrt").find(escaped) == std::string_view::npos) {
                    return false;
                }
            }
        }
        return take('"');
    };
    skip_spaces();
    if (depth <= 0 || at >= text.size()) {
        return false;
    }
    const char first = text[at];
    if (first == '{' || first == '[') {
        const char close = first == '{' ? '}' : ']';
        ++at;
        if (take(close)) {
            return true;
        }
        do {
            if (first == '{' && !(skip_string() && take(':'))) {
                return false;
            }
            if (!SkipJsonValue(text, at, depth - 1)) {
                return false;
            }
        } while (take(','));
        return take(close);
    }
    if (first == '"') {
        return skip_string();
    }
    for (std::string_view word : {"true", "false", "null"}) {
        if (text.substr(at, word.size()) == word) {
            at += word.size();
            return true;
        }
    }
    // A number: an optional minus, digits without a leading zero, no fraction
    // or exponent (the tool writes none).
    const std::size_t start = at;
    at += text[at] == '-' ? 1 : 0;
    const std::size_t digits = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        ++at;
    }
    return at > digits && (at - digits == 1 || text[digits] != '0') && at > start;
}

// Every line one JSON object, each record's number above the line before's.
inline void CheckJsonLines(const std::string& json, Findings& findings)
{
    findings.Expect(IsValidUtf8(json), "the JSON lines are UTF-8");
    std::vector<std::string_view> lines;
    findings.Expect(SplitLines(json, lines), "every JSON line ends with LF");
    constexpr std::string_view kStart = "{\"record\":";
    long long previous = -1;
    for (std::string_view line : lines) {
        std::size_t at = 0;
        findings.Expect(!line.empty() && line[0] == '{' && SkipJsonValue(line, at, 8) && at == line.size(),
                        "every JSON line is one JSON object");
        findings.Expect(line.substr(0, kStart.size()) == kStart, "every JSON line starts with its record number");
        const long long record = std::atoll(std::string(line.substr(kStart.size(), 20)).c_str());
        findings.Expect(record > previous, "the JSON lines are in record order");
        previous = record;
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
inline bool HasSwitch(const RunMode& mode, std::string_view name)
{
    return std::any_of(mode.switches.begin(), mode.switches.end(), [name](const char* s) { return s == name; });
}

// Sets up the fault in dir (the -f and -a runs write no file and meet none)
// and adds the switch it needs; true when the run must end with -1.
inline bool SetUpFault(Fault fault, const RunMode& mode, const std::string& dir, std::vector<const char*>& switches,
                       Findings& findings)
{
    const std::string report = mode.report;
    if (fault == Fault::kNone || report.empty()) {
        return false;
    }
    const auto to_full = [&](const std::string& name) {
        findings.Expect(symlink("/dev/full", (dir + "/" + name).c_str()) == 0, "the scratch directory takes a link");
    };
    const auto ask = [&](const char* name, const char* value) {
        if (!HasSwitch(mode, name)) {
            switches.push_back(name);
            if (value != nullptr) {
                switches.push_back(value);
            }
        }
    };
    switch (fault) {
    case Fault::kReportFull:
        to_full(report);
        return true;
    case Fault::kArchiveFull:
        to_full(report + ".zip");
        ask("-z", nullptr);
        return true;
    case Fault::kBodyFull:
        to_full(kBodyName);
        ask("-b", kBodyName);
        return false;  // an input without a named record writes no body line
    case Fault::kJsonFull:
        to_full(kJsonName);
        ask("-j", kJsonName);
        return false;  // nor a JSON line without a FILE record
    case Fault::kJsonUnopenable:
        if (HasSwitch(mode, "-j")) {
            return false;
        }
        switches.insert(switches.end(), {"-j", kUnopenableJsonName});
        return true;
    case Fault::kNone:
        break;
    }
    return false;
}

inline std::string CheckedRun(const std::uint8_t* data, std::size_t size, const RunMode& mode,
                              const std::vector<const char*>& extra_switches, const std::string& dir, int console_fd,
                              Fault fault = Fault::kNone)
{
    Findings findings;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string input_path = dir + "/" + kInputName;
    findings.Expect(WriteWholeFile(input_path, input), "the scratch directory takes the input");
    std::vector<const char*> switches = mode.switches;
    switches.insert(switches.end(), extra_switches.begin(), extra_switches.end());
    const bool must_fail = SetUpFault(fault, mode, dir, switches, findings);
    wxArrayString arguments;
    arguments.Add(wxS("varneth"));
    for (const char* argument : switches) {
        arguments.Add(argument);
    }
    arguments.Add(kInputName);
    StartConsole(console_fd);
    const int status = RunInDirectory(dir, arguments);
    findings.Expect(status == 0 || status == -1, "the run returns 0 or -1");
    findings.Expect(status == -1 || !must_fail, "a run whose output fails returns -1");
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
    if (std::find(names.begin(), names.end(), kJsonName) != names.end()) {
        CheckJsonLines(ReadWholeFile(dir + "/" + kJsonName), findings);
    }
    RemoveAll(dir, names);
    return findings.First();
}

// The input as an $MFT file, its switches picked by byte 8, its failing
// output by byte 9.
inline std::string FuzzWholeRun(const std::uint8_t* data, std::size_t size, const std::string& dir,
                                int console_fd = -1)
{
    return CheckedRun(data, size, ModeOf(data, size), {}, dir, console_fd, FaultOf(data, size));
}

}  // namespace fuzz_entry

#endif
