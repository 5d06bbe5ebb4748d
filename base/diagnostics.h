#ifndef VARNETH_BASE_DIAGNOSTICS_H
#define VARNETH_BASE_DIAGNOSTICS_H

// What an operation found wrong, handed back with its result instead of
// logged where it was found: decoding and the path walk run in the record
// loop's worker threads, and only the thread that writes logs, in record
// order (base/log_message.h turns a line into a log line).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <wx/string.h>

enum class DiagnosticLevel : std::uint8_t { kError, kWarning, kMessage };

struct DiagnosticLine {
    DiagnosticLevel level = DiagnosticLevel::kMessage;
    wxString text;  // as it stands: a '%' in a spliced-in name is not a format
    std::optional<long> system_error;  // the system's text for this code follows the line
    // Set: of the lines logged with it, the first is logged and the rest
    // counted, in one line at the run's end: the count, then this text.
    wxString repeats_counted_as;
    bool shown = false;  // a warning shown on every run, not only with -v
};

// The lines in the order they were found.
class Diagnostics {
public:
    void Error(const wxString& text) { lines_.push_back({DiagnosticLevel::kError, text, std::nullopt, {}}); }
    void Warning(const wxString& text) { lines_.push_back({DiagnosticLevel::kWarning, text, std::nullopt, {}}); }
    // What the evidence lacks, said whether or not the run is verbose.
    void ShownWarning(const wxString& text)
    {
        lines_.push_back({DiagnosticLevel::kWarning, text, std::nullopt, {}, true});
    }
    void Message(const wxString& text) { lines_.push_back({DiagnosticLevel::kMessage, text, std::nullopt, {}}); }
    void ErrorCountingRepeats(const wxString& text, const wxString& counted_as)
    {
        lines_.push_back({DiagnosticLevel::kError, text, std::nullopt, counted_as});
    }
    void SystemError(const wxString& text, long error_code)
    {
        lines_.push_back({DiagnosticLevel::kError, text, error_code, {}});
    }
    // Copies of another list's lines, after these.
    void Append(const Diagnostics& other) { lines_.insert(lines_.end(), other.lines_.begin(), other.lines_.end()); }
    // The same, its warnings shown on every run: they say why the operation failed.
    void AppendShown(const Diagnostics& other)
    {
        for (DiagnosticLine line : other.lines_) {
            line.shown = line.shown || line.level == DiagnosticLevel::kWarning;
            lines_.push_back(line);
        }
    }

    bool empty() const { return lines_.empty(); }
    std::size_t size() const { return lines_.size(); }
    const DiagnosticLine& operator[](std::size_t i) const { return lines_[i]; }
    std::vector<DiagnosticLine>::const_iterator begin() const { return lines_.begin(); }
    std::vector<DiagnosticLine>::const_iterator end() const { return lines_.end(); }
    void clear() { lines_.clear(); }

private:
    std::vector<DiagnosticLine> lines_;
};

#endif
