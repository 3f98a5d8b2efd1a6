// The fast timing against the described one: a full erase, program and
// verify of one device of each family on its simulated chip, on virtual
// time (the link's line changes take none), once with the device file's
// waits and once with the maxima of the programming specification.
//
// Counters (one run each):
//   described_s   the described run's time
//   fast_s        the fast run's time
//   speedup       described_s / fast_s
//   maxima_s      what the chip required of the fast run's cycles, added up:
//                 the sum of the maxima the run waits
//   resets_s      the fast run's resets (100 ms each), which no maximum times
//   tdis_s        the rest of the fast run: the 100 us after each End Programming
//   fast_per_maxima   fast_s / maxima_s
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"

#include "quiet_host.h"
#include "simulated_chip.h"
#include "shipped_device.h"

namespace {

using namespace vandrel;

struct RunTimes {
    std::int64_t us = 0;         // the whole run
    std::int64_t requiredUs = 0; // the chip's cycles
    std::int64_t resetsUs = 0;   // the millisecond waits: the resets
};

RunTimes FullRun(benchmark::State& state, const device::TPicDevice& d, device::RunTiming timing) {
    VirtualClock clock;
    SimulatedChip simulated(d, clock);
    const auto& chip = simulated.chip;
    image::THexFile image;
    FillImage(image, d);
    QuietHost host(clock, kEverySteps);
    programmer::TFarmOperations ops(host, simulated.comm, image, d);
    ops.SetTiming(timing);

    const std::int64_t start = clock.NowUs();
    const std::int64_t waitedMs = clock.TotalWaitedMs();
    ops.btnGoClick();

    if (host.lastLog != "complete.")
        state.SkipWithError(("run ended with " + host.lastLog).c_str());
    if (!chip->Violations().empty())
        state.SkipWithError(chip->Violations().front().What.c_str());
    return {clock.NowUs() - start, chip->RequiredUs(), (clock.TotalWaitedMs() - waitedMs) * 1000};
}

void BM_FastTiming(benchmark::State& state, const std::string& name) {
    const device::TPicDevice d = ShippedDevice(name);
    for (auto _ : state) {
        const RunTimes described = FullRun(state, d, device::RunTiming::Described);
        const RunTimes fast = FullRun(state, d, device::RunTiming::Fast);
        const auto s = [](std::int64_t us) { return static_cast<double>(us) / 1e6; };
        state.counters["described_s"] = s(described.us);
        state.counters["fast_s"] = s(fast.us);
        state.counters["speedup"] = s(described.us) / s(fast.us);
        state.counters["maxima_s"] = s(fast.requiredUs);
        state.counters["resets_s"] = s(fast.resetsUs);
        state.counters["tdis_s"] = s(fast.us - fast.requiredUs - fast.resetsUs);
        state.counters["fast_per_maxima"] = s(fast.us) / s(fast.requiredUs);
    }
}

// One device of each family.
const char* const kFamilies[] = {"PIC16F84A", "PIC16F628A", "PIC12F675",  "PIC16F877A", "PIC16F88",
                                 "PIC16F819", "PIC12F683",  "PIC16F785",  "PIC16F887",  "PIC16F946",
                                 "PIC12F609", "PIC16F72",   "PIC16F777",  "PIC16F716",  "PIC16F877",
                                 "PIC16F628", "PIC16F84"};

} // namespace

int main(int argc, char** argv) {
    for (const char* name : kFamilies)
        benchmark::RegisterBenchmark((std::string("FastTiming/") + name).c_str(), BM_FastTiming, name)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
