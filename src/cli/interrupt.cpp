#include "cli/interrupt.h"

#include <csignal>
#include <cstdlib>

namespace vandrel::cli {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

extern "C" void OnInterrupt(int) {
    // A second Ctrl-C, before the run has reached a stop check, ends the
    // program at once.
    if (interrupted.exchange(true))
        std::_Exit(130);
    // Some C libraries put the default action back before calling the handler.
    std::signal(SIGINT, OnInterrupt);
}

} // namespace

InterruptGuard::InterruptGuard() {
    interrupted.store(false);
    previous_ = std::signal(SIGINT, OnInterrupt);
}

InterruptGuard::~InterruptGuard() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }

const std::atomic<bool>& InterruptFlag() { return interrupted; }

} // namespace vandrel::cli
