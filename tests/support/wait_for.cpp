#include "support/wait_for.h"

namespace vandrel::test {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             const std::function<void()>& pump) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (pump)
            pump();
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
    }
}

} // namespace vandrel::test
