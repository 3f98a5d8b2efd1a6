#include "cli/chip_session.h"

#include "cli/exit_status.h"
#include "cli/link_trace.h"
#include "ftdi/ftdi_port_driver.h"
#include "simulator/sim_line_latency.h"
#include "simulator/sim_state_file.h"

namespace vandrel::cli {

ChipSession::ChipSession(CliContext& ctx, const Invocation& inv, const DeviceFile& file, PortChoice port)
    : ctx_(ctx), port_(std::move(port)), verbose_(inv.verbose) {
    comm_.SetFlowCtrl(serial::cfcNone);
    comm_.SetClock(ctx_.clock);
    OsSystem& system = ctx_.system;
    serial::PortDriverFactory platform = [&system](const std::string& deviceName) {
        return system.MakePortDriver(deviceName);
    };
    if (port_.byPath)
        platform = [&system, path = port_.devicePath](const std::string&) { return system.MakePathPortDriver(path); };
    if (port_.simulated)
        MakeSimulatedChip(inv, file);

    serial::PortDriverFactory factory;
    if (port_.ftdi) {
        // A simulated chip sits behind the simulated cable; no USB is touched then.
        if (chip_) {
            cable_ = std::make_shared<simulator::SimFt232r>(
                chip_, ctx_.clock, inv.simLatencyUs >= 0 ? inv.simLatencyUs : simulator::kDefaultTransferLatencyUs);
            cable_->SetShortestSleep(simulator::kRealClockShortestSleepUs);
        }
        // The check and the run open the port in turn; the cable stays
        // claimed between them and is given back once, when the session ends.
        heldCable_ = std::make_shared<ftdi::HeldFtdiBus>(cable_ ? cable_ : system.Ft232rBus());
        factory = ftdi::MakeFtdiPortFactory(heldCable_, *port_.ftdi, timing_, cableProblem_);
    } else if (chip_) {
        simPort_ = std::make_shared<serial::SimPort>();
        // A programming run is hundreds of thousands of line calls; the user's
        // port keeps none of them.
        simPort_->SetRecording(false);
        simPort_->SetClock(ctx_.clock);
        simPort_->SetPeer(
            std::make_shared<simulator::LineLatency>(chip_, ctx_.clock, std::max<std::int64_t>(inv.simLatencyUs, 0)));
        factory = simulator::MakeSimulatorFactory(simPort_, std::move(platform));
    } else {
        factory = std::move(platform);
    }
    if (inv.verbose) {
        auto trace = std::make_shared<LinkTrace>(ctx_.clock, [this](const std::string& line) { Trace(line); });
        factory = [inner = std::move(factory), trace](const std::string& deviceName) {
            return TracedDriver(inner(deviceName), trace);
        };
    }
    comm_.SetDriverFactory(std::move(factory));
    if (chip_ && ctx_.onSimulator)
        ctx_.onSimulator({chip_, simPort_, cable_, port_.name});
}

void ChipSession::MakeSimulatedChip(const Invocation& inv, const DeviceFile& file) {
    const std::optional<device::TPicDevice> simulated = file.Find(inv.simulate);
    if (!simulated)
        throw CliFailure(ExitStatus::Trouble, file.NoSuchDevice(inv.simulate));
    statePath_ = simulator::NumberedSimStatePath(
        inv.simState.empty() ? simulator::DefaultSimStatePath(simulated->Name, ctx_.getEnv) : inv.simState,
        port_.simulatedNumber);
    if (statePath_.empty())
        throw CliFailure(ExitStatus::Trouble, std::string("no place for the simulated chip's state file: ") +
                                                  ThisSystemWords().noStatePlace + ", or give --sim-state FILE");
    chip_ = std::make_shared<simulator::SimChip>(*simulated, ctx_.clock);
    if (const std::string error = simulator::LoadSimState(*chip_, statePath_); !error.empty())
        throw CliFailure(ExitStatus::Trouble, statePath_ + ": " + error);
}

ChipSession::~ChipSession() {
    comm_.Close();
    if (heldCable_)
        heldCable_->Release();
}

void ChipSession::Run(ConsoleHost& host, image::THexFile& image, const device::TPicDevice& device,
                      const OperationRequest& request) {
    host.Port = port_.RunPortText();
    host.OnPump = [this] { comm_.ProcessNotifications(); };
    programmer::TFarmOperations operations(host, comm_, image, device);
    Press(operations, host, request);
    kept_ = operations.KeptCalibration();
}

void ChipSession::Trace(const std::string& line) {
    if (!verbose_)
        return;
    if (traceSink_) {
        traceSink_(line);
        return;
    }
    ctx_.out.flush();
    ctx_.err << line << '\n';
}

void ChipSession::SaveState() {
    if (!chip_)
        return;
    if (const std::string error = simulator::SaveSimState(*chip_, statePath_); !error.empty())
        throw CliFailure(ExitStatus::Trouble, statePath_ + ": " + error);
}

std::string ChipSession::OpenFailure() const {
    if (port_.ftdi)
        return CableProblemMessage(port_.name, Where(), *cableProblem_);
    PortProblem problem;
    problem.kind = OsErrorKind::Other;
    problem.reason = comm_.LastOsError();
    return PortProblemMessage(port_.name, Where() == port_.name ? "" : Where(), problem) + ExistingPorts(ctx_.system);
}

std::optional<std::string> ChipSession::LinkFailure() const {
    if (!port_.ftdi || !*cableProblem_)
        return std::nullopt;
    return CableProblemMessage(port_.name, Where(), *cableProblem_);
}

std::string ChipSession::Where() const {
    if (chip_ && cable_)
        return "simulated FT232R with " + chip_->Device().Name;
    if (chip_)
        return "simulated " + chip_->Device().Name;
    return port_.devicePath;
}

std::string ChipSession::Describe() const {
    return Where() == port_.name ? port_.name : port_.name + " (" + Where() + ")";
}

} // namespace vandrel::cli
