#pragma once
// The ICSP link's line operations on an FT232R in synchronous bit-bang mode:
// every line change becomes one byte of the stream (ft232r_stream.h), and the
// stream goes out as one USB transfer only when a result is needed -- CTS
// samples collected, a flush before a wait on the clock, or a direct status
// query. Waits up to Ft232rTiming::maxStreamWaitMs travel in the stream as
// idle bytes, so a programming cycle's wait and the read-back after it need
// no transfer of their own.
//
// Streaming (TakeSamples without waiting): the stream goes out once it holds
// a transfer's worth of bytes (at least the latency's worth of ticks), without
// waiting for its read-back; up to Ft232rTiming::transfersInFlight transfers
// are in flight, the oldest collected when one more would exceed that, so the
// latency of each overlaps the bytes of those before it.
//
// A failed transfer (the cable pulled, a short read) ends the link: every
// call after it fails, so the link above stops driving the chip. Transfers
// already in flight behind it still reach the chip; their read-back is
// dropped.
//
// Thread-safe: the port component's workers may call in beside the run.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "ftdi/ft232r_stream.h"
#include "ftdi/ftdi_bus.h"
#include "serial/port_driver.h"

namespace vandrel::ftdi {

using serial::ModemLines;
using serial::StatusSample;

struct Ft232rTiming {
    // The fastest the FT232R clocks its bytes at the rate the link sets. Idle
    // bytes are counted at this rate, so a wait in the stream is never shorter
    // than asked; a cable that goes slower (USB full speed carries both
    // directions) only makes it longer.
    int bytesPerSecond = 1'000'000;
    // The latency timer: how long the FT232R keeps a part-filled packet of
    // read-back bytes before sending it (1 ms, its shortest).
    int latencyMs = 1;
    // Waits up to this long travel in the stream as idle bytes; longer ones
    // (the 100 ms reset) are sent first and then waited on the clock.
    std::int64_t maxStreamWaitMs = 50;
    // A transfer carries at most this many bytes; a longer stream goes in
    // several (the pins hold between them, which only lengthens a tick).
    std::size_t maxTransferBytes = 65536;
    // Read-backs not needed yet travel in transfers in flight (else each
    // sample collection is a transfer of its own, waited for).
    bool stream = true;
    // Streaming: at most this many transfers in flight.
    std::size_t transfersInFlight = 4;

    // Streaming: a stream goes once it holds this many bytes, the latency's
    // worth of ticks (so the transfers in flight cover the next one's latency).
    std::size_t StreamBytes() const { return std::max<std::size_t>(IdleBytes(latencyMs), 1); }

    // Idle bytes that keep the pins for at least `ms` (`us`).
    std::size_t IdleBytes(std::int64_t ms) const { return IdleBytesUs(ms * 1000); }
    std::size_t IdleBytesUs(std::int64_t us) const;
};

class Ft232rLines final : public ModemLines {
public:
    // `device` is in synchronous bit-bang mode with its pins at `pins`; it
    // must outlive the lines.
    Ft232rLines(FtdiDevice& device, const Ft232rTiming& timing, std::uint8_t pins = kReleasedPins);

    bool EscapeCommFunction(std::uint32_t function) override;
    bool GetCommModemStatus(std::uint32_t& status) override;
    bool SetCommBreak() override;
    bool ClearCommBreak() override;
    void SampleModemStatus() override;
    bool CollectSamples(std::vector<StatusSample>& samples) override;
    bool TakeSamples(std::vector<StatusSample>& samples, bool wait) override;
    bool Flush() override;
    bool Pause(Clock& clock, std::int64_t ms) override;
    bool PauseUs(Clock& clock, std::int64_t us) override;

    // What ended the link (kind None while it works).
    FtdiProblem Problem() const;
    std::uint64_t Transfers() const { return transfers_.load(); }
    std::uint64_t BytesSent() const { return bytes_.load(); }

private:
    bool Change(AdapterLine line, bool asserted);
    // Under mutex_: sends the stream and waits for every transfer in
    // flight; the samples go to ready_.
    bool SendLocked();
    // Under mutex_: submits the stream, in transfers of at most
    // maxTransferBytes, keeping at most `most` in flight.
    bool SubmitLocked(std::size_t most);
    // Under mutex_: waits for the oldest transfer in flight; its samples go
    // to ready_. A failure sets problem_ and drops every transfer in flight.
    bool CollectOldestLocked();
    bool Fail(const FtdiProblem& problem);

    struct InFlight {
        std::uint64_t ticket = 0;
        std::size_t count = 0;             // bytes
        std::vector<std::size_t> samples;  // read-back positions
    };
    std::deque<InFlight> inFlight_;

    mutable std::mutex mutex_;
    FtdiDevice& device_;
    const Ft232rTiming timing_;
    Ft232rStream stream_;
    std::vector<StatusSample> ready_;
    FtdiProblem problem_;
    std::atomic<std::uint64_t> transfers_{0}, bytes_{0};
};

} // namespace vandrel::ftdi
