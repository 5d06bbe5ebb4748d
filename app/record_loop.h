#ifndef VARNETH_APP_RECORD_LOOP_H
#define VARNETH_APP_RECORD_LOOP_H

#include <cstdint>

#include <wx/string.h>

struct RunState;

enum class LoopEnd { kDone, kFailed, kInterrupted };

// Reads the input block by block from the start and reports, or lists, every
// base record with a name. kFailed after a read or write failure (logged);
// kInterrupted when a signal was caught (see InterruptWatch), with every
// thread stopped and state.next_recno the first record not written.
LoopEnd RunRecordLoop(RunState& state);

// "Records processed: ..." with the given count and percentage.
wxString ProgressLine(RunState& state, std::uint64_t count, int percent);

#endif
