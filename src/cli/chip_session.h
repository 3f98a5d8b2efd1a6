#pragma once
// The port side of a chip command: the serial port component, and for COM0
// the simulated adapter and chip behind it, with the state file that keeps
// the chip's memories between runs and the latency of its line calls.
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_context.h"
#include "cli/inputs.h"
#include "cli/operation.h"
#include "programmer/farm_operations.h"
#include "serial/comm_x.h"
#include "simulator/sim_programmer.h"

namespace vandrel::cli {

class ChipSession {
public:
    // Sets up the simulated chip for COM0 (its device from the device file,
    // its memories from the state file); throws CliFailure when it cannot.
    ChipSession(CliContext& ctx, const Invocation& inv, const DeviceFile& file, PortChoice port);
    ~ChipSession();
    ChipSession(const ChipSession&) = delete;
    ChipSession& operator=(const ChipSession&) = delete;

    // One press of the window's button: the run control opens the port, runs
    // the operation and closes the port. The host's port and pump are set here.
    void Run(ConsoleHost& host, image::THexFile& image, const device::TPicDevice& device,
             const OperationRequest& request);

    // The calibration words the last run kept across its erase, if any.
    const std::optional<programmer::TKeptCalibration>& KeptCalibration() const { return kept_; }

    // Keeps the simulated chip's memories for the next run (nothing for a
    // real port); throws CliFailure when the file cannot be written.
    void SaveState();

    // What failed when the run control could not open the port.
    std::string OpenFailure() const;
    // "COM0 (simulated PIC16F628A)", "COM100 (/dev/ttyUSB0)".
    std::string Describe() const;
    const PortChoice& Port() const { return port_; }

private:
    CliContext& ctx_;
    PortChoice port_;
    std::string statePath_;
    std::optional<programmer::TKeptCalibration> kept_;
    std::shared_ptr<simulator::SimChip> chip_;
    std::shared_ptr<serial::SimPort> simPort_;
    serial::TCommX comm_; // last: closed before the chip goes
};

} // namespace vandrel::cli
