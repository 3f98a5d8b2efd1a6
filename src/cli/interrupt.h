#pragma once
// Ctrl-C: while a guard lives, SIGINT only sets a flag, which the runs' stop
// checks read, as a press on the window's Stop button sets the stop request.
// A second SIGINT while the flag is set ends the program with status 130.
#include <atomic>

namespace vandrel::cli {

class InterruptGuard {
public:
    InterruptGuard();  // clears the flag and installs the handler
    ~InterruptGuard(); // puts the previous handler back
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previous_)(int);
};

// Set by SIGINT while a guard lives.
const std::atomic<bool>& InterruptFlag();

} // namespace vandrel::cli
