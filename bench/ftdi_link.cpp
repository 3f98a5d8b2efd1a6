// A full program + verify of a 2048-word PIC16F628A image on the virtual
// clock, as the command line's program command runs it (erase, write, verify
// of every area), over four links:
//   (a) the per-call modem-line link with 1 ms per line change, as a USB
//       serial cable gives it;
//   (b) the FT232R bit-bang link with 1 ms per USB transfer and the bit-bang
//       clock per byte (the simulated FT232R's timing model), each transfer
//       waited for in turn;
//   (s) the same link streaming: up to 4 transfers in flight, the latency
//       of each overlapping the bytes of those before it;
//   (c) the chip's floor: the waits the run asks for (the 100 ms resets,
//       Tprog per word, Tera), with nothing else taking any time.
//
// Counters (one run of each in every iteration):
//   a_s, b_s, s_s, c_s   the virtual seconds of each
//   a_over_c, b_over_c, s_over_c, b_over_s
//   b_transfers          USB transfers of (b); b_bytes its bit-bang bytes
//   s_transfers          USB transfers of (s); s_waiting those that waited
//                        their whole latency (none in flight before them)
//   violations           timing violations the simulated chips recorded
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"
#include "serial/comm_x.h"
#include "ftdi/ftdi_port_driver.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_line_latency.h"
#include "simulator/sim_programmer.h"

#include "quiet_host.h"
#include "shipped_device.h"

namespace {

using namespace vandrel;
using programmer::StepBox;

constexpr std::int32_t kWords = 2048;
constexpr std::int64_t kLatencyUs = 1000;

// Virtual time, with the waits asked for through it added up.
class WaitCountingClock final : public Clock {
public:
    explicit WaitCountingClock(VirtualClock& base) : base_(base) {}
    std::int64_t NowMs() const override { return base_.NowMs(); }
    std::int64_t NowUs() const override { return base_.NowUs(); }
    void WaitMs(std::int64_t ms) override {
        askedMs += std::max<std::int64_t>(ms, 0);
        base_.WaitMs(ms);
    }
    void WaitUs(std::int64_t us) override { base_.WaitUs(us); }
    std::int64_t askedMs = 0;

private:
    VirtualClock& base_;
};

enum class Link { PerCall, Ft232r, Ft232rStreaming };

struct Outcome {
    double seconds = 0;
    std::int64_t askedMs = 0; // the run's waits on the clock
    std::size_t violations = 0;
    std::uint64_t transfers = 0, bytes = 0, waiting = 0;
    std::string last;
};

Outcome ProgramAndVerify(Link link, const device::TPicDevice& device, const image::THexFile& source) {
    VirtualClock clock;
    VirtualClock portClock; // the port component's own settling pauses are no part of the run
    WaitCountingClock runClock(clock);
    auto chip = std::make_shared<simulator::SimChip>(device, clock);
    serial::TCommX comm;
    comm.SetClock(portClock);
    comm.SetFlowCtrl(serial::cfcNone);
    std::shared_ptr<simulator::SimFt232r> cable;
    if (link == Link::PerCall) {
        auto port = std::make_shared<serial::SimPort>();
        port->SetRecording(false);
        port->SetClock(clock);
        port->SetPeer(std::make_shared<simulator::LineLatency>(chip, clock, kLatencyUs));
        comm.SetDriverFactory(serial::MakeSimPortFactory(port));
    } else {
        cable = std::make_shared<simulator::SimFt232r>(chip, clock, kLatencyUs);
        ftdi::Ft232rTiming timing;
        timing.stream = link == Link::Ft232rStreaming;
        comm.SetDriverFactory(ftdi::MakeFtdiPortFactory(cable, ftdi::FtdiTarget{}, timing));
    }
    image::THexFile image = source;
    QuietHost host(runClock, {StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram,
                              StepBox::WriteConfigurationMemory, StepBox::WriteDataMemory, StepBox::VerifyProgram,
                              StepBox::VerifyConfigurationMemory, StepBox::VerifyDataMemory});
    programmer::TFarmOperations ops(host, comm, image, device);
    const std::int64_t start = clock.NowUs();
    ops.btnGoClick();
    Outcome outcome;
    outcome.seconds = static_cast<double>(clock.NowUs() - start) / 1e6;
    outcome.askedMs = runClock.askedMs;
    outcome.violations = chip->Violations().size();
    outcome.last = host.lastLog;
    if (cable) {
        outcome.transfers = cable->Transfers();
        outcome.bytes = cable->BytesWritten();
        outcome.waiting = cable->WaitingTransfers();
    }
    return outcome;
}

void BM_Ft232rAgainstPerCallLink(benchmark::State& state) {
    const device::TPicDevice device = ShippedDevice("PIC16F628A", kWords);
    image::THexFile image;
    std::mt19937 random(2048);
    for (std::int32_t a = 0; a < kWords; ++a)
        image.SetWord(a, static_cast<std::int16_t>(random() & 0x3FFF));

    Outcome a, b, s;
    for (auto _ : state) {
        a = ProgramAndVerify(Link::PerCall, device, image);
        b = ProgramAndVerify(Link::Ft232r, device, image);
        s = ProgramAndVerify(Link::Ft232rStreaming, device, image);
    }
    for (const Outcome* run : {&a, &b, &s})
        if (run->last != "complete.")
            state.SkipWithError(("a run ended with " + run->last).c_str());
    // The floor: the run's waits, which both links take as the per-call link asks them.
    const double c = static_cast<double>(a.askedMs) / 1e3;
    state.counters["a_s"] = a.seconds;
    state.counters["b_s"] = b.seconds;
    state.counters["c_s"] = c;
    state.counters["a_over_c"] = a.seconds / c;
    state.counters["b_over_c"] = b.seconds / c;
    state.counters["b_transfers"] = static_cast<double>(b.transfers);
    state.counters["b_bytes"] = static_cast<double>(b.bytes);
    state.counters["s_s"] = s.seconds;
    state.counters["s_over_c"] = s.seconds / c;
    state.counters["b_over_s"] = b.seconds / s.seconds;
    state.counters["s_transfers"] = static_cast<double>(s.transfers);
    state.counters["s_waiting"] = static_cast<double>(s.waiting);
    state.counters["violations"] = static_cast<double>(a.violations + b.violations + s.violations);
}
BENCHMARK(BM_Ft232rAgainstPerCallLink)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
