#include "cli/interrupt.h"

#include <csignal>
#include <cstdlib>

namespace vandrel::cli {

namespace {

std::atomic<bool> interrupted{false};
std::atomic<int> caught{0};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
static_assert(std::atomic<int>::is_always_lock_free, "the signal is kept from a signal handler");

// SIGHUP (a closed terminal) is Ctrl-C's; Windows has none.
constexpr int kSignals[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#else
    0,
#endif
};
constexpr int kTerminatedStatus = 143;
constexpr int kInterruptedStatus = 130;

extern "C" void OnInterrupt(int signal) {
    // A second signal, before the run has reached a stop check, ends the
    // program at once.
    if (interrupted.exchange(true))
        std::_Exit(signal == SIGTERM ? kTerminatedStatus : kInterruptedStatus);
    caught.store(signal);
    // Some C libraries put the default action back before calling the handler.
    std::signal(signal, OnInterrupt);
}

} // namespace

InterruptGuard::InterruptGuard() {
    interrupted.store(false);
    caught.store(0);
    for (int i = 0; i < 3; ++i)
        previous_[i] = kSignals[i] != 0 ? std::signal(kSignals[i], OnInterrupt) : SIG_DFL;
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < 3; ++i)
        if (kSignals[i] != 0)
            std::signal(kSignals[i], previous_[i] == SIG_ERR ? SIG_DFL : previous_[i]);
}

const std::atomic<bool>& InterruptFlag() { return interrupted; }

int InterruptSignal() { return caught.load(); }

int InterruptedStatus() { return InterruptSignal() == SIGTERM ? kTerminatedStatus : kInterruptedStatus; }

} // namespace vandrel::cli
