#ifndef VARNETH_FUZZ_ENTRIES_RUN_ENTRY_H
#define VARNETH_FUZZ_ENTRIES_RUN_ENTRY_H

// One fuzz input as a whole $MFT file, run through the tool from its command
// line to its exit status, in a scratch directory. The byte at offset 8 (the
// low byte of record 0's log sequence number, which the tool never reads)
// picks the switches, so a real $MFT is a seed as it stands. Afterwards the
// input must be unchanged and the directory hold nothing but the input, the
// report, its archive, the body file and the debug log; every body line has
// its eleven fields.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <wx/arrstr.h>
#include <wx/log.h>

#include "app/run_sequence.h"
#include "base/log_message.h"
#include "base/run_settings.h"
#include "fuzz/entries/findings.h"
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
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void RemoveAllBut(const std::string& dir, const std::string& kept)
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        if (entry.path().filename() != kept) {
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
}

inline void CheckLeftovers(const std::string& dir, const RunMode& mode, Findings& findings)
{
    const std::string report = mode.report;
    const std::set<std::string> allowed = {kInputName, report, report + ".zip", "varneth.log", kBodyName};
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        findings.Expect(allowed.count(entry.path().filename().string()) == 1, "the run makes no other file");
    }
}

// A '|' inside a name would split its line: names write it escaped.
inline void CheckBodyLines(const std::string& body, Findings& findings)
{
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        findings.Expect(end != std::string::npos, "every body line ends with LF");
        if (end == std::string::npos) {
            return;
        }
        findings.Expect(std::count(body.begin() + start, body.begin() + end, '|') == 10,
                        "every body line has eleven fields");
        start = end + 1;
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

// dir must exist and be given to this entry alone. The first promise that did
// not hold, or an empty text.
inline std::string FuzzWholeRun(const std::uint8_t* data, std::size_t size, const std::string& dir)
{
    Findings findings;
    RemoveAllBut(dir, "");
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::ofstream(dir + "/" + kInputName, std::ios::binary) << input;
    const RunMode& mode = ModeOf(data, size);
    wxArrayString arguments;
    arguments.Add(wxS("varneth"));
    for (const char* argument : mode.switches) {
        arguments.Add(argument);
    }
    arguments.Add(kInputName);
    const int status = RunInDirectory(dir, arguments);
    findings.Expect(status == 0 || status == -1, "the run returns 0 or -1");
    findings.Expect(ReadWholeFile(dir + "/" + kInputName) == input, "the input is never changed");
    CheckLeftovers(dir, mode, findings);
    CheckBodyLines(ReadWholeFile(dir + "/" + kBodyName), findings);
    return findings.First();
}

}  // namespace fuzz_entry

#endif
