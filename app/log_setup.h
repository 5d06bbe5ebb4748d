#ifndef VARNETH_APP_LOG_SETUP_H
#define VARNETH_APP_LOG_SETUP_H

#include <cstdio>

#include <wx/string.h>

class wxLog;

// The debug log's file name, in the current directory.
wxString DebugLogName();

// Owns the run's log targets: the console target on standard output and, with
// the debug switch, a chained target on "varneth.log". Tearing it down leaves
// no target active and deletes what it made.
class LogSetup {
public:
    LogSetup() = default;
    ~LogSetup();
    LogSetup(const LogSetup&) = delete;
    LogSetup& operator=(const LogSetup&) = delete;

    // Console target, time stamp format and level from run_settings.
    void StartConsoleLog();
    // "varneth.log" in the current directory, chained after the console.
    // Returns false (error logged) when that name is the $MFT input itself.
    bool StartDebugLog();
    void TearDown();

private:
    wxLog* chain_ = nullptr;
    std::FILE* debug_file_ = nullptr;
    bool started_ = false;
};

#endif
