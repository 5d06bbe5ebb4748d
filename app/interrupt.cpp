#include "app/interrupt.h"

#include <atomic>
#include <csignal>
#include <iterator>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM};

// Written by the handler only, on whichever thread the signal meets, read by
// the driver's thread: lock-free, so the handler may write it.
std::atomic<int> caught_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void NoteSignal(int number)
{
    caught_signal = number;
}

#ifndef __WINDOWS__
struct sigaction previous_actions[std::size(kStopSignals)];
#endif

}  // namespace

// Interrupted calls are restarted: a write cut by the signal is not a write
// failure. The handler is reset as it runs, so a second signal kills.
InterruptWatch::InterruptWatch()
{
    caught_signal = 0;
#ifdef __WINDOWS__
    for (int number : kStopSignals) {
        std::signal(number, NoteSignal);
    }
#else
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        sigaction(kStopSignals[i], &action, &previous_actions[i]);
    }
#endif
}

InterruptWatch::~InterruptWatch()
{
#ifdef __WINDOWS__
    for (int number : kStopSignals) {
        std::signal(number, SIG_DFL);
    }
#else
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        sigaction(kStopSignals[i], &previous_actions[i], nullptr);
    }
#endif
}

int CaughtSignal()
{
    return caught_signal;
}

wxString SignalName(int number)
{
    if (number == SIGINT || number == SIGTERM) {
        return number == SIGINT ? wxS("SIGINT") : wxS("SIGTERM");
    }
    return wxString::Format(wxS("signal %d"), number);
}

int InterruptedStatus(int number)
{
    return 128 + number;
}
