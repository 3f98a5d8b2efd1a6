#pragma once
// Ctrl-C, SIGTERM and SIGHUP: while a guard lives, they only set a flag, which
// the runs' stop checks read, as a press on the window's Stop button sets the
// stop request; the closing steps then run. A second signal while the flag is
// set ends the program at once with 128 + its number (130 for SIGINT).
#include <atomic>

namespace vandrel::cli {

class InterruptGuard {
public:
    InterruptGuard();  // clears the flag and installs the handlers
    ~InterruptGuard(); // puts the previous handlers back
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previous_[3])(int);
};

// Set by a caught signal while a guard lives.
const std::atomic<bool>& InterruptFlag();

// The signal that set the flag (SIGINT, SIGTERM, SIGHUP), or 0.
int InterruptSignal();

// The exit status of a run the signal ended: 143 for SIGTERM, else 130.
int InterruptedStatus();

} // namespace vandrel::cli
