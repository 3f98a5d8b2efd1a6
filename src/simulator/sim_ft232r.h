#pragma once
// A simulated FT232R cable behind the libftdi seam: the bus lists one cable,
// and its bit-bang byte stream turns into line changes on the line peer at
// its far end (normally the simulated chip), by the adapter's pin table.
//
// USB timing model, on the clock: every transfer costs its latency (1 ms by
// default, the FT232R's shortest latency timer plus the bus's frame), then
// each byte one tick of the bit-bang clock. A byte's read-back is the pins
// just before that byte is put out (CTS as the peer drives it), so a sample
// lags one byte behind, as on the chip.
//
// Transfers in flight (submitted, not yet collected): a transfer's latency
// runs from its submission, beside the transfers before it; its bytes go
// out once its latency is over and the transfer before it has ended. The
// bytes reach the far end, and the clock moves on, when it is collected.
//
// Faults: a cable pulled at the nth transfer (that transfer and every later
// one fail, the bus no longer lists it), a short read, an opening refused
// with a given problem.
//
// Safe to call from any thread.
#include <cstdint>
#include <memory>
#include <vector>

#include "common/clock.h"
#include "ftdi/ftdi_bus.h"
#include "serial/sim_port_driver.h"

namespace vandrel::simulator {

// The simulated cable's serial number: "ftdi:VNDRL1SIM" names it.
inline constexpr const char* kSimFt232rSerial = "VNDRL1SIM";
inline constexpr std::int64_t kDefaultTransferLatencyUs = 1000;
// A cable on the real clock sleeps its bytes' microseconds off a quarter of
// a millisecond at a time (see SetShortestSleep).
inline constexpr std::int64_t kRealClockShortestSleepUs = 250;

// How the bus lists the simulated cable (bus 0, which no real USB bus is).
ftdi::FtdiDeviceInfo SimulatedCableInfo();

class SimFt232r final : public ftdi::FtdiBus {
public:
    // `peer` may be null: a cable with nothing at its end (CTS released).
    SimFt232r(std::shared_ptr<serial::LinePeer> peer, Clock& clock,
              std::int64_t latencyUs = kDefaultTransferLatencyUs);
    ~SimFt232r() override;

    // On the real clock: times shorter than `us` are collected and slept off
    // together (the system cannot sleep a microsecond). 0, the default: every
    // byte's time is spent as it comes, exact on a virtual clock.
    void SetShortestSleep(std::int64_t us);

    std::vector<ftdi::FtdiDeviceInfo> List(ftdi::FtdiProblem& problem) override;
    std::unique_ptr<ftdi::FtdiDevice> Open(const ftdi::FtdiTarget& target, ftdi::FtdiProblem& problem) override;

    // Faults.
    void PullCableAtTransfer(std::uint64_t nth); // counted from now, 1 = the next
    void ShortReadAtTransfer(std::uint64_t nth, std::size_t missing);
    void RefuseOpen(ftdi::FtdiProblem problem); // Kind None: openings work again

    // Observation.
    bool IsOpen() const;
    int OpenCount() const;
    bool InBitBang() const;              // synchronous bit-bang mode, as the link set it
    std::uint8_t OutputMask() const;     // as the link set it
    int LatencyTimerMs() const;          // as the link set it
    std::uint64_t Transfers() const;     // since construction
    // Those submitted while none was in flight: each waits its whole
    // latency (with transfers in flight, its latency overlaps theirs).
    std::uint64_t WaitingTransfers() const;
    std::uint64_t BytesWritten() const;
    std::uint8_t Pins() const;           // the output pins now

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace vandrel::simulator
