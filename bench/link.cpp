// Cost of the ICSP link's line changes.
//
// BM_LineChangeVsBareIoctl: one line call through TFarmLink and the posix
//   driver, against a bare ioctl(TIOCMBIS) on the same pseudo-terminal
//   descriptor. A pty answers the modem ioctls with ENOTTY; the call path up
//   to the kernel is what is measured. Both are timed in the same run and
//   reported as ratio_vs_bare_ioctl. The link is told that each refused
//   change succeeded (it would otherwise repeat it and then give the port
//   up), so it makes exactly the calls it makes over a real port.
// BM_BareIoctl: the bare ioctl alone, for reference.
// BM_SimLineChanges: line changes per second through the sim driver with the
//   simulated chip attached (call recording off), programming and reading
//   back words the way a programming run does.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "device/pic_device.h"
#include "programmer/farm_link.h"
#include "serial/sim_port_driver.h"
#ifndef _WIN32
#include "serial/posix_port_driver.h"
#endif
#include "simulator/sim_programmer.h"

#include "shipped_device.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace {

using namespace vandrel;
using namespace vandrel::programmer;

// Counts the calls that reach the driver; passes them on.
class CountingLines : public serial::ModemLines {
public:
    explicit CountingLines(serial::ModemLines& inner) : inner_(inner) {}
    bool EscapeCommFunction(std::uint32_t f) override { ++calls; return inner_.EscapeCommFunction(f); }
    bool GetCommModemStatus(std::uint32_t& s) override { ++calls; return inner_.GetCommModemStatus(s); }
    bool SetCommBreak() override { ++calls; return inner_.SetCommBreak(); }
    bool ClearCommBreak() override { ++calls; return inner_.ClearCommBreak(); }
    std::uint64_t calls = 0;

private:
    serial::ModemLines& inner_;
};

#ifndef _WIN32
// Passes every call to the driver and takes a refused line change for done,
// as a pty refuses them all.
class RefusalIgnoringLines : public serial::ModemLines {
public:
    explicit RefusalIgnoringLines(serial::ModemLines& inner) : inner_(inner) {}
    bool EscapeCommFunction(std::uint32_t f) override {
        inner_.EscapeCommFunction(f);
        return true;
    }
    bool GetCommModemStatus(std::uint32_t& s) override { return inner_.GetCommModemStatus(s); }
    bool SetCommBreak() override {
        inner_.SetCommBreak();
        return true;
    }
    bool ClearCommBreak() override {
        inner_.ClearCommBreak();
        return true;
    }

private:
    serial::ModemLines& inner_;
};
#endif

// One programmed and read-back word: load (6 + 16 cycles), begin programming
// (6), wait, read (6 + 16 cycles), then an increment (6).
void ProgramWord(TFarmLink& link, Clock& clock, std::int16_t word) {
    link.FarmWrite(kLoadDataForProgramMemory, word);
    link.FarmWrite(kBeginEraseProgrammingCycle, -1);
    clock.WaitMs(10);
    benchmark::DoNotOptimize(link.FarmRead(kReadDataFromProgramMemory));
    link.FarmWrite(kIncrementAddress, -1);
}

void BM_SimLineChanges(benchmark::State& state) {
    VirtualClock clock;
    auto setup = simulator::MakeUserSimulator(ShippedDevice("PIC16F84A"), clock);
    setup.port->SetRecording(false);
    serial::SimPortDriver driver(setup.port);
    std::string error;
    if (!driver.Open(simulator::kSimulatorDeviceName, error)) {
        state.SkipWithError(("sim port: " + error).c_str());
        return;
    }
    CountingLines lines(driver);
    TFarmLink link(lines, clock);
    link.FarmReset();
    std::int16_t word = 0;
    for (auto _ : state) {
        ProgramWord(link, clock, word);
        word = static_cast<std::int16_t>((word + 0x0101) & 0x3FFF);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(lines.calls));
    state.counters["line_calls_per_word"] =
        benchmark::Counter(static_cast<double>(lines.calls) / static_cast<double>(state.iterations()));
    state.counters["chip_violations"] = static_cast<double>(setup.chip->Violations().size());
}
BENCHMARK(BM_SimLineChanges);

#ifndef _WIN32

// A pseudo-terminal pair; the slave is what the driver and the bare ioctl use.
struct Pty {
    int master = -1;
    std::string slavePath;
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        if (const char* name = ptsname(master))
            slavePath = name;
    }
    ~Pty() {
        if (master >= 0)
            close(master);
    }
    bool Ok() const { return master >= 0 && !slavePath.empty(); }
};

void BM_BareIoctl(benchmark::State& state) {
    Pty pty;
    const int fd = pty.Ok() ? open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) : -1;
    if (fd < 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    int bits = TIOCM_RTS;
    for (auto _ : state)
        benchmark::DoNotOptimize(ioctl(fd, TIOCMBIS, &bits));
    state.SetItemsProcessed(state.iterations());
    close(fd);
}
BENCHMARK(BM_BareIoctl);

// The link's calls against bare ioctls on the driver's own descriptor,
// alternating in batches so that both see the same machine state.
void BM_LineChangeVsBareIoctl(benchmark::State& state) {
    Pty pty;
    if (!pty.Ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const std::string slave = pty.slavePath;
    serial::PosixPortDriver driver([slave](const std::string&) { return slave; });
    std::string error;
    if (!driver.Open("\\\\.\\COM9", error)) {
        state.SkipWithError(("posix driver: " + error).c_str());
        return;
    }
    const int fd = static_cast<int>(driver.NativeHandle());
    VirtualClock clock;

    // One unit of link work: a programmed, read-back word without the wait.
    auto unit = [&clock](serial::ModemLines& lines) {
        TFarmLink link(lines, clock);
        link.FarmWrite(kLoadDataForProgramMemory, 0x2AAA);
        link.FarmWrite(kBeginEraseProgrammingCycle, -1);
        benchmark::DoNotOptimize(link.FarmRead(kReadDataFromProgramMemory));
        link.FarmWrite(kIncrementAddress, -1);
    };
    RefusalIgnoringLines lines(driver);
    CountingLines counter(lines);
    unit(counter);
    const std::uint64_t callsPerUnit = counter.calls;

    using Steady = std::chrono::steady_clock;
    Steady::duration linkTime{}, bareTime{};
    std::uint64_t linkCalls = 0, bareCalls = 0;
    int bits = TIOCM_RTS;
    for (auto _ : state) {
        auto t0 = Steady::now();
        unit(lines);
        auto t1 = Steady::now();
        for (std::uint64_t i = 0; i < callsPerUnit; ++i)
            benchmark::DoNotOptimize(ioctl(fd, TIOCMBIS, &bits));
        auto t2 = Steady::now();
        linkTime += t1 - t0;
        bareTime += t2 - t1;
        linkCalls += callsPerUnit;
        bareCalls += callsPerUnit;
    }
    const double linkNs = std::chrono::duration<double, std::nano>(linkTime).count() / static_cast<double>(linkCalls);
    const double bareNs = std::chrono::duration<double, std::nano>(bareTime).count() / static_cast<double>(bareCalls);
    state.counters["ns_per_link_call"] = linkNs;
    state.counters["ns_per_bare_ioctl"] = bareNs;
    state.counters["ratio_vs_bare_ioctl"] = linkNs / bareNs;
    state.counters["calls_per_word"] = static_cast<double>(callsPerUnit);
    driver.CloseHandle();
}
BENCHMARK(BM_LineChangeVsBareIoctl);

#endif

} // namespace

BENCHMARK_MAIN();
