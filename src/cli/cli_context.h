#pragma once
// Everything a command reaches outside itself: the two output streams, the
// environment, the clock, the machine. main() fills it with the real ones;
// tests with captured streams, virtual time and made-up ports.
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "cli/command_line.h"
#include "cli/os_system.h"
#include "common/clock.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_programmer.h"

namespace vandrel::cli {

// A simulated chip and what carries it: the simulated port of COM0, or the
// simulated FT232R cable.
struct SimulatedParts {
    std::shared_ptr<simulator::SimChip> chip;
    std::shared_ptr<serial::SimPort> port;      // COM0
    std::shared_ptr<simulator::SimFt232r> cable; // ftdi
    std::string portName;                        // "COM0", "COM0:2", "ftdi"
};

struct RunRecord;

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    GetEnv getEnv;
    Clock& clock;
    OsSystem& system;
    bool errIsTerminal = false;
    // picspecs.ini: beside the program, else in ../share/vandrel1 (device::DeviceSpecPath).
    std::string defaultSpecPath;
    // SIGINT sets the stop request while a command runs.
    bool catchInterrupt = true;
    // Called once the simulated chip and what carries it exist (tests set faults here).
    std::function<void(const SimulatedParts&)> onSimulator;
    // Standard input, for a HEX file given as "-" (none: "-" cannot be read).
    std::istream* in = nullptr;
    // The log lines go to standard error: standard output carries data (--json).
    bool logToStandardError = false;
    // Several adapters at once: where a port's run shows its progress line
    // (drawn by the one display of them all), and where the program command
    // keeps what the report of each port needs. Neither for a single port.
    std::function<void(const std::string&)> progressSink{};
    RunRecord* record = nullptr;
};

} // namespace vandrel::cli
