#pragma once
// A line peer in front of another (normally the simulated chip) that makes
// every line call of the PC take a set time, as a USB serial adapter does
// (each modem-line change or status read is a round trip over the bus), and
// counts the calls.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "common/clock.h"
#include "serial/sim_port_driver.h"

namespace vandrel::simulator {

class LineLatency final : public serial::LinePeer {
public:
    // `inner` may be null: a cable with nothing at its end (CTS off).
    LineLatency(std::shared_ptr<serial::LinePeer> inner, Clock& clock, std::int64_t latencyUs);

    void OnEscape(std::uint32_t function) override;
    void OnBreak(bool on) override;
    std::uint32_t ModemStatus() override;
    void OnData(const std::uint8_t* data, std::uint32_t count) override;

    // Escape, break and status calls seen so far.
    std::uint64_t Calls() const { return calls_.load(); }

private:
    // Spends the latency of one call. Short latencies are collected and slept
    // off together, with what a sleep overran (up to 5 ms) carried over, so
    // that the time of many calls adds up to their sum even where the system
    // cannot sleep for a few microseconds.
    void Spend();

    std::shared_ptr<serial::LinePeer> inner_;
    Clock& clock_;
    const std::int64_t latencyUs_;
    std::atomic<std::uint64_t> calls_{0};
    std::mutex debtMutex_;
    std::int64_t debtUs_ = 0;
};

} // namespace vandrel::simulator
