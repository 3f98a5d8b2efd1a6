// A gang of 8 simulated adapters on the real clock: `vandrel1-cli program`
// on COM0:1 ... COM0:8 at once against the same command on one port, each
// the whole command (the device ID check, the estimate, erase, write and
// verify) of a small PIC16F628A image through the simulated adapter.
//
// Counters:
//   one_s             wall time of the command on one port
//   eight_s           wall time of the command on eight ports at once
//   ratio             eight_s / one_s (goal: 1.15 or less)
//   cpu_ms_per_chip   the process's CPU time over the eight-port command, per chip
//   cpu_ms_one        the process's CPU time over the one-port command
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "image/hex_writer.h"

namespace {

using namespace vandrel;
namespace fs = std::filesystem;

constexpr int kPorts = 8;

struct Timed {
    double wallS = 0;
    double cpuMs = 0;
    int status = -1;
};

class Workspace {
public:
    Workspace() {
        dir_ = fs::temp_directory_path();
        dir_ /= "vandrel1-bench-gang-" + std::to_string(std::random_device{}());
        fs::create_directories(dir_);
        // 64 program words, the configuration word and 16 EEPROM bytes.
        image::THexFile image;
        for (std::int32_t a = 0; a < 64; ++a)
            image.SetWord(a, static_cast<std::int16_t>(0x3000 + a));
        image.SetWord(0x2007, 0x3F70);
        for (std::int32_t a = 0; a < 16; ++a)
            image.SetWord(0x2100 + a, static_cast<std::int16_t>(a * 7));
        std::ofstream(hex()) << image::WriteHexText(image);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string hex() const { return (dir_ / "gang.hex").string(); }
    std::string state() const { return (dir_ / "chip.hex").string(); }

private:
    fs::path dir_;
};

Timed RunCommand(const std::vector<std::string>& args) {
    const std::unique_ptr<cli::OsSystem> system = cli::MakeOsSystem();
    std::ostringstream out, err;
    cli::CliContext ctx{
        .out = out,
        .err = err,
        .getEnv = [](const char*) -> const char* { return nullptr; },
        .clock = RealClock::Instance(),
        .system = *system,
        .errIsTerminal = false,
        .defaultSpecPath = device::DeviceSpecPath(),
        .catchInterrupt = false,
        .onSimulator = {},
        .in = nullptr,
    };
    const std::clock_t cpu = std::clock();
    const auto start = std::chrono::steady_clock::now();
    Timed timed;
    timed.status = cli::RunCli(args, ctx);
    timed.wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timed.cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    return timed;
}

void BM_Gang(benchmark::State& state) {
    const Workspace work;
    const std::vector<std::string> common = {"vandrel1-cli", "--simulate", "PIC16F628A", "--sim-state", work.state(),
                                             "-q"};
    std::string ports;
    for (int i = 1; i <= kPorts; ++i)
        ports.append(i == 1 ? "" : ",").append("COM0:").append(std::to_string(i));
    std::vector<std::string> one = common, eight = common;
    one.insert(one.end(), {"-p", "COM0:1", "program", work.hex()});
    eight.insert(eight.end(), {"-p", ports, "program", work.hex()});
    Timed single, gang;
    for (auto _ : state) {
        single = RunCommand(one);
        gang = RunCommand(eight);
        if (single.status != 0 || gang.status != 0)
            state.SkipWithError("a chip did not say complete.");
    }
    state.counters["one_s"] = single.wallS;
    state.counters["eight_s"] = gang.wallS;
    state.counters["ratio"] = gang.wallS / single.wallS;
    state.counters["cpu_ms_per_chip"] = gang.cpuMs / kPorts;
    state.counters["cpu_ms_one"] = single.cpuMs;
}

} // namespace

BENCHMARK(BM_Gang)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
