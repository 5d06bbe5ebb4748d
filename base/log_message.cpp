#include "base/log_message.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <wx/log.h>

thread_local wxString log_message;

namespace {

// One line to the active log target, as the library's wxLogError and its kin
// send it, without their format step: the text is sent as it stands, and the
// target appends the system's text for an error code.
void SendLine(wxLogLevel level, const wxString& text, std::optional<long> system_error, bool always = false)
{
    if (!always && !wxLog::IsLevelEnabled(level, wxASCII_STR(wxLOG_COMPONENT))) {
        return;
    }
    wxLogRecordInfo info(__FILE__, __LINE__, __func__, wxLOG_COMPONENT);
    info.timestampMS = wxGetUTCTimeMillis().GetValue();
#if WXWIN_COMPATIBILITY_3_0
    info.timestamp = static_cast<time_t>(info.timestampMS / 1000);
#endif
    if (system_error) {
        info.StoreValue(wxLOG_KEY_SYS_ERROR_CODE, static_cast<wxUIntPtr>(*system_error));
    }
    wxLog::OnLog(level, text, info);
}

// Lines of each kind logged, by the text that counts their repeats, in the
// order first met. Only the run's main thread logs.
std::vector<std::pair<wxString, std::uint64_t>> repeats;

}  // namespace

void LogErrorText(const wxString& text)
{
    log_message = text;
    SendLine(wxLOG_Error, text, std::nullopt);
}

void LogWarningText(const wxString& text)
{
    log_message = text;
    SendLine(wxLOG_Warning, text, std::nullopt);
}

void LogShownWarningText(const wxString& text)
{
    log_message = text;
    SendLine(wxLOG_Warning, text, std::nullopt, wxLog::IsEnabled());
}

void LogSystemErrorText(const wxString& text, long error_code)
{
    SendLine(wxLOG_Error, text, error_code);
}

void LogMessageText(const wxString& text)
{
    SendLine(wxLOG_Message, text, std::nullopt);
}

void LogDiagnostics(const Diagnostics& diagnostics)
{
    for (const DiagnosticLine& line : diagnostics) {
        if (!line.repeats_counted_as.empty()) {
            const auto kind = std::find_if(repeats.begin(), repeats.end(),
                                           [&line](const auto& seen) { return seen.first == line.repeats_counted_as; });
            if (kind != repeats.end()) {
                ++kind->second;
                continue;
            }
            repeats.emplace_back(line.repeats_counted_as, 0);
        }
        if (line.system_error) {
            LogSystemErrorText(line.text, *line.system_error);
        } else if (line.level == DiagnosticLevel::kError) {
            LogErrorText(line.text);
        } else if (line.level == DiagnosticLevel::kWarning && line.shown) {
            LogShownWarningText(line.text);
        } else if (line.level == DiagnosticLevel::kWarning) {
            LogWarningText(line.text);
        } else {
            LogMessageText(line.text);
        }
    }
}

void LogCountedRepeats()
{
    for (const auto& [counted_as, count] : repeats) {
        if (count != 0) {
            LogErrorText(wxString::Format(wxS("%llu "), static_cast<unsigned long long>(count)) + counted_as);
        }
    }
    repeats.clear();
}
