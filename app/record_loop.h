#ifndef VARNETH_APP_RECORD_LOOP_H
#define VARNETH_APP_RECORD_LOOP_H

#include <cstdint>

#include <wx/string.h>

#include "base/diagnostics.h"

struct RunState;

enum class LoopEnd { kDone, kFailed, kInterrupted };

// Reads the input block by block from the start and reports, or lists, every
// base record with a name. kFailed after a read or write failure (logged),
// state.next_recno the record that stopped it; kInterrupted when a signal was
// caught (see InterruptWatch), with every thread stopped and state.next_recno
// the first record not written.
LoopEnd RunRecordLoop(RunState& state);

// The records of the $MFT that could not be read, a line for each range (20
// at most) and a closing line; true when there are none.
bool LogLostRecords(RunState& state);

// The error line when the records read hold no FILE record, or far fewer in
// use than the $MFT's bitmap marks; true when neither.
bool LogMissingRecords(RunState& state);

// The reason a read failed, from the lines it gave.
wxString ReadFailureText(const Diagnostics& read_lines);

// "Records processed: ..." with the given count and percentage.
wxString ProgressLine(RunState& state, std::uint64_t count, int percent);

#endif
