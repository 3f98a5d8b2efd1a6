// A full erase, program and verify of every device of picspecs.ini on its
// simulated chip, with the real clock: the time a user waits on COM0, and
// how it splits.
//
// Counters (one run each):
//   waits_ms   the run's own waits: resets (100 ms each), programming and erase delays
//   chip_ms    what the simulated chip required of the same cycles, added up: the
//              maxima of the device's section (Maximum.*)
//   program / config / data   words written into each area
// The benchmark's own time is the wall time of the run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"

#include "quiet_host.h"
#include "simulated_chip.h"

namespace {

using namespace vandrel;

// Real time, with the waits asked for added up.
class CountingClock final : public Clock {
public:
    std::int64_t NowMs() const override { return RealClock::Instance().NowMs(); }
    void WaitMs(std::int64_t ms) override {
        waited += std::max<std::int64_t>(ms, 0);
        RealClock::Instance().WaitMs(ms);
    }
    std::int64_t waited = 0;
};

void BM_FullRun(benchmark::State& state, const std::string& name) {
    const device::TPicDevice d = device::GetDeviceSpec(name);
    for (auto _ : state) {
        CountingClock clock;
        SimulatedChip simulated(d, clock);
        const auto& chip = simulated.chip;
        image::THexFile image;
        FillImage(image, d);
        QuietHost host(clock, kEverySteps);
        programmer::TFarmOperations ops(host, simulated.comm, image, d);

        ops.btnGoClick();

        if (host.lastLog != "complete.")
            state.SkipWithError(("run ended with " + host.lastLog).c_str());
        if (!chip->Violations().empty())
            state.SkipWithError(chip->Violations().front().What.c_str());
        if (chip->CalibrationLost())
            state.SkipWithError("calibration lost");
        state.counters["waits_ms"] = static_cast<double>(clock.waited);
        state.counters["chip_ms"] = static_cast<double>(chip->RequiredMs());
        state.counters["program"] = image.CountWords(d.ProgramMemory);
        state.counters["config"] = image.CountWords(d.ConfigurationMemory);
        state.counters["data"] = image.CountWords(d.DataMemory);
    }
}

} // namespace

int main(int argc, char** argv) {
    // The shipped device file lies next to the benchmark program.
    std::vector<std::string> names;
    device::GetDeviceList(names);
    for (const std::string& name : names)
        benchmark::RegisterBenchmark(("FullRun/" + name).c_str(), BM_FullRun, name)
            ->Iterations(1)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
