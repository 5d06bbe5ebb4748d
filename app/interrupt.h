#ifndef VARNETH_APP_INTERRUPT_H
#define VARNETH_APP_INTERRUPT_H

#include <wx/string.h>

// While one lives, SIGINT and SIGTERM end the run early instead of killing
// it: the handler only notes the signal, and the driver asks between batches
// of records, then stops the workers, closes the outputs with what was
// written and says where the run stopped. A second signal kills at once, as
// if none had been caught.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();  // the handlers of before are back
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
};

// The signal caught while a watch lived, or 0.
int CaughtSignal();

// "SIGINT" or "SIGTERM".
wxString SignalName(int number);

// The exit status of a run the signal stopped, as a shell gives one that
// the signal killed: 128 and the signal's number.
int InterruptedStatus(int number);

#endif
