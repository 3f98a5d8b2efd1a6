// The simulated line latency: every line call takes its time on the clock,
// and is counted.
#include "simulator/sim_line_latency.h"

#include <gtest/gtest.h>

#include "serial/port_driver.h"

namespace vandrel::simulator {
namespace {

using serial::win::CLRRTS;
using serial::win::MS_CTS_ON;
using serial::win::SETRTS;

struct Recorder final : serial::LinePeer {
    std::vector<std::string> seen;
    void OnEscape(std::uint32_t f) override { seen.push_back("escape " + std::to_string(f)); }
    void OnBreak(bool on) override { seen.push_back(on ? "break on" : "break off"); }
    std::uint32_t ModemStatus() override {
        seen.push_back("status");
        return MS_CTS_ON;
    }
};

TEST(LineLatency, EveryCallTakesItsTimeAndReachesThePeerBehind) {
    VirtualClock clock;
    auto peer = std::make_shared<Recorder>();
    LineLatency latency(peer, clock, 250);
    latency.OnBreak(true);
    latency.OnEscape(SETRTS);
    latency.OnEscape(CLRRTS);
    EXPECT_EQ(latency.ModemStatus(), MS_CTS_ON);
    EXPECT_EQ(latency.Calls(), 4u);
    EXPECT_EQ(peer->seen, (std::vector<std::string>{"break on", "escape 3", "escape 4", "status"}));
    // Collected and slept off a quarter of a millisecond at a time.
    EXPECT_EQ(clock.NowUs(), 1000);
    latency.OnEscape(SETRTS);
    EXPECT_EQ(clock.NowUs(), 1250);
    for (int i = 0; i < 3995; ++i)
        latency.OnEscape(SETRTS);
    EXPECT_EQ(clock.NowUs(), 4000 * 250);
}

TEST(LineLatency, WithoutLatencyOrPeerItOnlyCounts) {
    VirtualClock clock;
    LineLatency counter(nullptr, clock, 0);
    counter.OnEscape(SETRTS);
    counter.OnBreak(false);
    EXPECT_EQ(counter.ModemStatus(), 0u); // nothing drives CTS
    EXPECT_EQ(counter.Calls(), 3u);
    EXPECT_EQ(clock.NowUs(), 0);
}

TEST(LineLatency, OnTheRealClockManyShortCallsAddUpToTheirSum) {
    LineLatency latency(nullptr, RealClock::Instance(), 40);
    const std::int64_t start = RealClock::Instance().NowUs();
    for (int i = 0; i < 1000; ++i)
        latency.OnEscape(SETRTS);
    const std::int64_t took = RealClock::Instance().NowUs() - start;
    EXPECT_GE(took, 39'750); // never less than asked, but for the last quarter millisecond owed
    EXPECT_LT(took, 1'000'000);
}

} // namespace
} // namespace vandrel::simulator
