#include "common/clock.h"

#include <chrono>
#include <thread>

namespace vandrel {

std::int64_t RealClock::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::WaitMs(std::int64_t ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t RealClock::NowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::WaitUs(std::int64_t us) {
    if (us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
}

RealClock& RealClock::Instance() {
    static RealClock clock;
    return clock;
}

std::int64_t VirtualClock::NowMs() const {
    std::lock_guard lock(mutex_);
    return nowUs_ / 1000;
}

void VirtualClock::WaitMs(std::int64_t ms) {
    if (ms <= 0)
        return;
    std::lock_guard lock(mutex_);
    nowUs_ += ms * 1000;
    waited_ += ms;
    ++waits_;
}

std::int64_t VirtualClock::NowUs() const {
    std::lock_guard lock(mutex_);
    return nowUs_;
}

void VirtualClock::WaitUs(std::int64_t us) {
    if (us <= 0)
        return;
    std::lock_guard lock(mutex_);
    nowUs_ += us;
}

std::int64_t VirtualClock::TotalWaitedMs() const {
    std::lock_guard lock(mutex_);
    return waited_;
}

std::int64_t VirtualClock::WaitCount() const {
    std::lock_guard lock(mutex_);
    return waits_;
}

} // namespace vandrel
