#pragma once
// Every wait of the program goes through one Clock, so that tests and the
// simulated chip can run on virtual time.
#include <cstdint>
#include <mutex>

namespace vandrel {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary epoch of this clock.
    virtual std::int64_t NowMs() const = 0;
    // Waits `ms` milliseconds. Zero or a negative value returns at once.
    virtual void WaitMs(std::int64_t ms) = 0;

    // The same in microseconds, for timings finer than a millisecond (the
    // latency of one line call). A clock that only knows milliseconds answers
    // in whole milliseconds and waits at least as long as asked.
    virtual std::int64_t NowUs() const { return NowMs() * 1000; }
    virtual void WaitUs(std::int64_t us) {
        if (us > 0)
            WaitMs((us + 999) / 1000);
    }
};

// Wall time; waits really sleep.
class RealClock final : public Clock {
public:
    std::int64_t NowMs() const override;
    void WaitMs(std::int64_t ms) override;
    std::int64_t NowUs() const override;
    void WaitUs(std::int64_t us) override;
    // The one shared instance the program uses unless told otherwise.
    static RealClock& Instance();
};

// Virtual time: a wait advances the clock at once. Safe to use from several threads.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(std::int64_t startMs = 0) : nowUs_(startMs * 1000) {}
    std::int64_t NowMs() const override;
    void WaitMs(std::int64_t ms) override;
    std::int64_t NowUs() const override;
    // Advances the time without counting as one of the waits below.
    void WaitUs(std::int64_t us) override;
    void Advance(std::int64_t ms) { WaitMs(ms); }
    // Sum of all millisecond waits asked for, and how many there were.
    std::int64_t TotalWaitedMs() const;
    std::int64_t WaitCount() const;

private:
    mutable std::mutex mutex_;
    std::int64_t nowUs_;
    std::int64_t waited_ = 0;
    std::int64_t waits_ = 0;
};

} // namespace vandrel
