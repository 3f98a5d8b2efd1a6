#pragma once
// The command-line program run in-process, as the tests drive it: captured
// standard output and error, virtual time (with hooks into its waits), a
// made-up machine whose ports never reach a real device, an environment of
// the test's own, and a temporary folder that also holds the simulated
// chips' state files.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_context.h"
#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_programmer.h"
#include "support/temp_dir.h"

namespace vandrel::test {

// Virtual time whose waits a test can hook (a Ctrl-C in the middle of a
// write). Only the waits of the test's own thread, where the runs go, reach
// the hook; the port's workers pause on the same clock.
class TestClock final : public Clock {
public:
    std::int64_t NowMs() const override { return base.NowMs(); }
    std::int64_t NowUs() const override { return base.NowUs(); }
    void WaitMs(std::int64_t ms) override {
        if (OnWaitMs && std::this_thread::get_id() == owner_)
            OnWaitMs(ms);
        base.WaitMs(ms);
    }
    void WaitUs(std::int64_t us) override { base.WaitUs(us); }

    VirtualClock base;
    std::function<void(std::int64_t ms)> OnWaitMs;

private:
    const std::thread::id owner_ = std::this_thread::get_id();
};

// Ports as the test lays them out. A port's driver is a simulated port with
// nothing behind it; `Refuse` makes its opening fail with a reason.
class FakeSystem final : public cli::OsSystem {
public:
    std::vector<serial::ComPortInfo> Ports;       // what ListPorts shows
    std::map<std::string, std::string> Devices;   // COM name -> device path
    std::map<std::string, cli::PortProblem> Access; // device path -> what CheckPortAccess finds
    std::shared_ptr<serial::SimPort> Port = std::make_shared<serial::SimPort>();
    int DriversMade = 0;

    std::vector<serial::ComPortInfo> ListPorts() override { return Ports; }
    std::string ResolvePort(const std::string& comName) override;
    cli::PortProblem CheckPortAccess(const std::string& devicePath) override;
    std::unique_ptr<serial::PortDriver> MakePortDriver(const std::string& deviceName) override;
    // A port by its path: the same simulated port, unless a test opens the path for real (a pseudo-terminal).
    std::function<std::unique_ptr<serial::PortDriver>(const std::string& path)> PathDriver;
    std::unique_ptr<serial::PortDriver> MakePathPortDriver(const std::string& devicePath) override;
    // The FT232R cables: none, unless a test puts a (simulated) bus here.
    std::shared_ptr<ftdi::FtdiBus> UsbBus = ftdi::MakeUnavailableFtdiBus("no USB in the tests");
    std::shared_ptr<ftdi::FtdiBus> Ft232rBus() override { return UsbBus; }
};

struct CliResult {
    int status = -1;
    std::string out, err;
};

class CliTest : public ::testing::Test {
protected:
    CliTest();

    // Runs "vandrel1-cli args...".
    CliResult Run(const std::vector<std::string>& args);

    // The simulated chip and port of the last run.
    simulator::SimChip* Chip() const { return chip_.get(); }
    serial::SimPort* SimPort() const { return simPort_.get(); }

    // A state file of its own for `name`, in the temporary folder.
    std::string State(const std::string& name) const { return dir / (name + ".state.hex"); }

    TempDir dir{"vandrel_cli"};
    TestClock clock;
    FakeSystem system;
    std::map<std::string, std::string> env;
    std::string input; // standard input
    bool terminal = false;
    // Runs once the simulated chip exists (set faults here).
    std::function<void(simulator::SimChip&)> onSimulator;
    // Instead of the two above and of keeping the last run's parts: each
    // simulated chip with what carries it, from the thread of its port.
    std::function<void(const cli::SimulatedParts&)> onParts;
    // Runs once the simulated FT232R exists.
    std::function<void(simulator::SimFt232r&)> onCable;
    simulator::SimFt232r* Cable() const { return cable_.get(); }

private:
    std::shared_ptr<simulator::SimChip> chip_;
    std::shared_ptr<serial::SimPort> simPort_;
    std::shared_ptr<simulator::SimFt232r> cable_;
};

// examples/blink628a.hex: the PIC16F628A example program.
inline std::string ExampleHex() { return std::string(VANDREL_SOURCE_DIR) + "/examples/blink628a.hex"; }

// The devices of the shipped picspecs.ini.
std::vector<device::TPicDevice> ShippedDevices();
device::TPicDevice ShippedDevice(const std::string& name);

// The HEX file of an image, for tests that need one on disk.
std::string HexOf(const std::map<std::int32_t, std::uint16_t>& words);
// An image with a word at the first and last address of each area, the user
// IDs and the configuration word filled, for `device`.
std::map<std::int32_t, std::uint16_t> AcceptanceWords(const device::TPicDevice& device);
// The words of a HEX file (empty on failure).
std::map<std::int32_t, std::int16_t> WordsOf(const std::string& path);

// Every word of `original` is in `read` (a configuration word in the bits
// a run writes; the chip's own oscillator calibration in place of the
// file's word); every other word of `read` is erased, or the device ID,
// which the chip answers on its own (erased on a chip without one).
void ExpectSameChip(const std::map<std::int32_t, std::int16_t>& original,
                    const std::map<std::int32_t, std::int16_t>& read, const device::TPicDevice& device);

// Lines of a text.
std::vector<std::string> Lines(const std::string& text);

} // namespace vandrel::test
