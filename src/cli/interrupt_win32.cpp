// Ctrl-C on Windows: the console's control handler sets the flag that the
// runs' stop checks read. Ctrl-Break counts as Ctrl-C. The handler runs on a
// thread of its own that the system starts; a second press while the flag is
// set ends the program with status 130. Closing the console, logging off and
// shutting down are left to the system's default handler.
// SIGINT is caught too, for the C library's raise(SIGINT), which does not go
// through the console.
#include "cli/interrupt.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>

namespace vandrel::cli {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

void Interrupt() {
    if (interrupted.exchange(true))
        std::_Exit(130);
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    Interrupt();
    return TRUE;
}

extern "C" void OnInterrupt(int) {
    Interrupt();
    std::signal(SIGINT, OnInterrupt); // the C library puts the default back before calling
}

} // namespace

InterruptGuard::InterruptGuard() {
    interrupted.store(false);
    previous_[0] = std::signal(SIGINT, OnInterrupt);
    // Installed after the C library's own (which signal() may have added), so
    // called first. Without a console (a program started detached) there is
    // no Ctrl-C to catch, and a failure here changes nothing.
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptGuard::~InterruptGuard() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    std::signal(SIGINT, previous_[0] == SIG_ERR ? SIG_DFL : previous_[0]);
}

const std::atomic<bool>& InterruptFlag() { return interrupted; }

// Windows has no SIGTERM or SIGHUP to catch here: every stop is Ctrl-C's.
int InterruptSignal() { return interrupted.load() ? SIGINT : 0; }

int InterruptedStatus() { return 130; }

} // namespace vandrel::cli
