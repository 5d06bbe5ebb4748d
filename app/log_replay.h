#ifndef VARNETH_APP_LOG_REPLAY_H
#define VARNETH_APP_LOG_REPLAY_H

#include <vector>

#include "base/log_message.h"

// Logs, in the calling thread, lines another thread kept (KeepThreadLogLines)
// as they would have been logged then: same level, text, system error text
// and time stamp; the last error or warning among them becomes log_message.
void ReplayLogLines(const std::vector<KeptLogLine>& lines);

#endif
