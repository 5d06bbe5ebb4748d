#include "app/log_replay.h"

#include <wx/log.h>

void ReplayLogLines(const std::vector<KeptLogLine>& lines)
{
    for (const KeptLogLine& line : lines) {
        if (line.last_message) {
            log_message = line.text;
        }
        wxLogRecordInfo info(__FILE__, __LINE__, __func__, wxLOG_COMPONENT);
        info.timestampMS = line.time_ms;
#if WXWIN_COMPATIBILITY_3_0
        info.timestamp = static_cast<time_t>(line.time_ms / 1000);
#endif
        if (line.system_error) {
            info.StoreValue(wxLOG_KEY_SYS_ERROR_CODE, static_cast<wxUIntPtr>(*line.system_error));
        }
        wxLog::OnLog(line.level, line.text, info);
    }
}
