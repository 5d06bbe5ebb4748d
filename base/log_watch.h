#ifndef VARNETH_BASE_LOG_WATCH_H
#define VARNETH_BASE_LOG_WATCH_H

#include <wx/string.h>

#include "base/log_message.h"

// Tells whether an error or a warning was logged while it lived: every such
// line goes through log_message, which the watch empties on the way in and
// gives back, untouched, when nothing was logged. A record whose decoding
// logged must be decoded again wherever the plain walk would, so that its
// lines come out again.
class LogWatch {
public:
    LogWatch() { saved_.swap(log_message); }
    ~LogWatch()
    {
        if (log_message.empty()) {
            log_message.swap(saved_);
        }
    }
    LogWatch(const LogWatch&) = delete;
    LogWatch& operator=(const LogWatch&) = delete;

    // Every logged text has words in it, so an empty one means none came.
    bool Logged() const { return !log_message.empty(); }

private:
    wxString saved_;
};

#endif
