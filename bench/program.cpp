// A full program + verify of a 2048-word image on the simulated PIC16F628A,
// with the virtual clock (no real waits).
//
// Counters:
//   line_calls_ratio  line changes issued (escape and break calls the chip saw,
//                     port open and close included) / the minimum the frames
//                     of this image need
//   line_calls        line changes issued per run
//   us_per_word       software time per written word (the write and the
//                     verify of it, with their share of resets and increments)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_link.h"
#include "programmer/farm_operations.h"
#include "serial/comm_x.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_programmer.h"

#include "quiet_host.h"
#include "shipped_device.h"

namespace {

using namespace vandrel;
using programmer::StepBox;

constexpr std::int32_t kWords = 2048;

// Line changes of one frame: two clock edges per bit, plus a DTR change
// wherever a bit differs from the one before (the data line rests at 0).
std::int64_t FrameLineChanges(std::uint32_t bits, int count) {
    std::int64_t changes = 2 * count;
    std::uint32_t level = 0;
    for (int i = 0; i < count; ++i, bits >>= 1) {
        if ((bits & 1) != level)
            ++changes;
        level = bits & 1;
    }
    return changes;
}

std::int64_t CommandLineChanges(int command) { return FrameLineChanges(static_cast<std::uint32_t>(command), 6); }
std::int64_t DataLineChanges(std::int16_t word) {
    return FrameLineChanges((static_cast<std::uint32_t>(word) & 0x3FFF) << 1, 16);
}
constexpr std::int64_t kReadFrameLineChanges = 2 * 16; // the chip drives the data line
constexpr std::int64_t kResetLineChanges = 4;          // MCLR low, clock low, data low, MCLR high

// The fewest line changes that write, read back and then verify every word
// of the image's program area: one step each, walking a single address counter.
std::int64_t MinimumLineChanges(const image::THexFile& image) {
    std::int64_t total = 0;
    for (const bool write : {true, false}) {
        total += kResetLineChanges;
        std::int32_t counter = 0;
        for (std::int32_t a = 0; a < kWords; ++a) {
            const std::int16_t w = image.GetWord(a);
            if (w < 0)
                continue;
            total += (a - counter) * CommandLineChanges(programmer::kIncrementAddress);
            counter = a;
            if (write)
                total += CommandLineChanges(programmer::kLoadDataForProgramMemory) + DataLineChanges(w) +
                         CommandLineChanges(programmer::kBeginEraseProgrammingCycle);
            total += CommandLineChanges(programmer::kReadDataFromProgramMemory) + kReadFrameLineChanges;
        }
    }
    return total;
}

void BM_ProgramAndVerify2048Words(benchmark::State& state) {
    VirtualClock clock;
    const device::TPicDevice device = ShippedDevice("PIC16F628A", kWords);
    auto port = std::make_shared<serial::SimPort>();
    port->SetRecording(false);
    auto chip = std::make_shared<simulator::SimChip>(device, clock);
    port->SetPeer(chip);
    serial::TCommX comm;
    comm.SetDriverFactory(serial::MakeSimPortFactory(port));
    comm.SetClock(clock);

    image::THexFile image;
    std::mt19937 random(2048);
    for (std::int32_t a = 0; a < kWords; ++a)
        image.SetWord(a, static_cast<std::int16_t>(random() & 0x3FFF));
    QuietHost host(clock, {StepBox::WriteProgram, StepBox::VerifyProgram});
    programmer::TFarmOperations ops(host, comm, image, device);

    const std::int64_t minimum = MinimumLineChanges(image);
    std::int64_t lineChanges = 0;
    std::chrono::nanoseconds busy{0};
    for (auto _ : state) {
        state.PauseTiming();
        chip->EraseAll();
        const std::uint64_t before = chip->LineChanges();
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        ops.btnGoClick();
        busy += std::chrono::steady_clock::now() - start;

        state.PauseTiming();
        lineChanges = static_cast<std::int64_t>(chip->LineChanges() - before);
        if (host.lastLog != "complete.")
            state.SkipWithError(("run ended with " + host.lastLog).c_str());
        if (!chip->Violations().empty())
            state.SkipWithError(chip->Violations().front().What.c_str());
        state.ResumeTiming();
    }
    state.counters["line_calls"] = static_cast<double>(lineChanges);
    state.counters["line_calls_min"] = static_cast<double>(minimum);
    state.counters["line_calls_ratio"] = static_cast<double>(lineChanges) / static_cast<double>(minimum);
    state.counters["us_per_word"] =
        std::chrono::duration<double, std::micro>(busy).count() / (static_cast<double>(state.iterations()) * kWords);
}
BENCHMARK(BM_ProgramAndVerify2048Words)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
