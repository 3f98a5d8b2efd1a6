#pragma once
// The port side of a chip command: the serial port component over a COM
// port or an FT232R cable, and when simulating, the simulated chip behind
// the simulated adapter (COM0) or the simulated FT232R, with the state file
// that keeps the chip's memories between runs and the latency of its line
// calls or USB transfers.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_context.h"
#include "cli/inputs.h"
#include "cli/operation.h"
#include "programmer/farm_operations.h"
#include "serial/comm_x.h"
#include "ftdi/ft232r_lines.h"
#include "ftdi/ftdi_held_bus.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_programmer.h"

namespace vandrel::cli {

class ChipSession {
public:
    // Sets up the simulated chip when simulating (its device from the device
    // file, its memories from the state file); throws CliFailure when it cannot.
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

    // -v: a line of the link's trace on standard error (nothing without -v).
    void Trace(const std::string& line);
    // Where the trace goes while a run shows its progress (none: standard error).
    void SetTraceSink(std::function<void(const std::string&)> sink) { traceSink_ = std::move(sink); }

    // Keeps the simulated chip's memories for the next run (nothing for a
    // real port); throws CliFailure when the file cannot be written.
    void SaveState();

    // What failed when the run control could not open the port.
    std::string OpenFailure() const;
    // What ended an FT232R cable's link during the last run (a transfer
    // that failed: the cable pulled, a short read); nothing after a clean run.
    std::optional<std::string> LinkFailure() const;
    // "COM0 (simulated PIC16F628A)", "COM100 (/dev/ttyUSB0)",
    // "ftdi (FT232R USB UART A6008isP, bus 1 device 5)".
    std::string Describe() const;
    const PortChoice& Port() const { return port_; }
    // The link this session drives: per line call, or FT232R transfers.
    LinkKind Link() const { return port_.ftdi ? LinkKind::Ft232r : LinkKind::PerCall; }
    // An FT232R cable's bit-bang clock, for the estimate.
    double UsPerByte() const { return 1e6 / timing_.bytesPerSecond; }

private:
    void MakeSimulatedChip(const Invocation& inv, const DeviceFile& file);
    // "simulated PIC16F628A", "simulated FT232R with PIC16F628A", "/dev/ttyUSB0".
    std::string Where() const;

    CliContext& ctx_;
    PortChoice port_;
    bool verbose_ = false;
    std::function<void(const std::string&)> traceSink_;
    ftdi::Ft232rTiming timing_;
    std::string statePath_;
    std::optional<programmer::TKeptCalibration> kept_;
    std::shared_ptr<simulator::SimChip> chip_;
    std::shared_ptr<serial::SimPort> simPort_;
    std::shared_ptr<simulator::SimFt232r> cable_;
    std::shared_ptr<ftdi::HeldFtdiBus> heldCable_;
    std::shared_ptr<ftdi::FtdiProblem> cableProblem_ = std::make_shared<ftdi::FtdiProblem>();
    serial::TCommX comm_; // last: closed before the chip goes
};

} // namespace vandrel::cli
