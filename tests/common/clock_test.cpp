// The microsecond side of the clocks.
#include "common/clock.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(Clock, MicrosecondWaitsAdvanceVirtualTimeWithoutCountingAsWaits) {
    VirtualClock clock(5);
    clock.WaitUs(1500);
    EXPECT_EQ(clock.NowUs(), 6500);
    EXPECT_EQ(clock.NowMs(), 6);
    EXPECT_EQ(clock.WaitCount(), 0);
    clock.WaitMs(2);
    EXPECT_EQ(clock.NowUs(), 8500);
    EXPECT_EQ(clock.TotalWaitedMs(), 2);
}

TEST(Clock, AMillisecondClockWaitsWholeMillisecondsForMicroseconds) {
    struct MsClock final : Clock {
        std::int64_t now = 0;
        std::int64_t NowMs() const override { return now; }
        void WaitMs(std::int64_t ms) override { now += ms; }
    } clock;
    clock.WaitUs(1);
    EXPECT_EQ(clock.now, 1);
    clock.WaitUs(2000);
    EXPECT_EQ(clock.NowUs(), 3000);
    clock.WaitUs(0);
    EXPECT_EQ(clock.now, 3);
}

} // namespace
} // namespace vandrel
