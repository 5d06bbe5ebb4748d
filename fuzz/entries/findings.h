#ifndef VARNETH_FUZZ_ENTRIES_FINDINGS_H
#define VARNETH_FUZZ_ENTRIES_FINDINGS_H

// What the fuzz entries promise to find out about one input: the first
// promise of the code under test that did not hold. The fuzz targets turn a
// finding into a crash (so the fuzzer keeps the input); the replay test
// reports it as a failure.

#include <string>

#include <wx/log.h>

namespace fuzz_entry {

class Findings {
public:
    void Expect(bool holds, const char* promise)
    {
        if (!holds && first_.empty()) {
            first_ = promise;
        }
    }
    bool Clean() const { return first_.empty(); }
    const std::string& First() const { return first_; }

private:
    std::string first_;
};

// A log target that drops every line after the library has composed it, so
// the logging code runs but the console stays quiet and fast.
class DiscardLog : public wxLog {
protected:
    void DoLogRecord(wxLogLevel, const wxString&, const wxLogRecordInfo&) override {}
};

// Installs a DiscardLog with every level let through; puts the previous
// target and level back when it goes.
class ScopedDiscardLog {
public:
    ScopedDiscardLog() : previous_target_(wxLog::SetActiveTarget(&discard_)), previous_level_(wxLog::GetLogLevel())
    {
        wxLog::SetLogLevel(wxLOG_Max);
    }
    ~ScopedDiscardLog()
    {
        wxLog::SetActiveTarget(previous_target_);
        wxLog::SetLogLevel(previous_level_);
    }
    ScopedDiscardLog(const ScopedDiscardLog&) = delete;
    ScopedDiscardLog& operator=(const ScopedDiscardLog&) = delete;

private:
    DiscardLog discard_;
    wxLog* previous_target_;
    wxLogLevel previous_level_;
};

}  // namespace fuzz_entry

#endif
