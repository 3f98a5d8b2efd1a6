#include "cli/operation.h"

#include <memory>

#include "common/convert.h"
#include "serial/comm_x.h"
#include "ftdi/ftdi_port_driver.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_line_latency.h"

namespace vandrel::cli {

using programmer::StepBox;

OperationRequest ProgramRequest(const Invocation& inv) {
    OperationRequest request;
    request.hexPath = inv.file;
    const Areas& a = inv.areas;
    const auto tick = [&](bool when, StepBox box) {
        if (when)
            request.steps.insert(box);
    };
    switch (inv.command) {
    case Command::Program:
        // One bulk erase takes program memory (and, from the configuration
        // area, the configuration words): needed for the program area only,
        // since each configuration word is erased by its own programming cycle.
        tick(inv.erase && a.program, StepBox::EraseProgram);
        tick(inv.erase && a.data, StepBox::EraseDataMemory);
        tick(a.program, StepBox::WriteProgram);
        tick(a.config, StepBox::WriteConfigurationMemory);
        tick(a.data, StepBox::WriteDataMemory);
        [[fallthrough]];
    case Command::Verify:
        if (inv.command == Command::Verify || inv.verify) {
            tick(a.program, StepBox::VerifyProgram);
            tick(a.config, StepBox::VerifyConfigurationMemory);
            tick(a.data, StepBox::VerifyDataMemory);
        }
        break;
    case Command::Erase:
        tick(a.program || a.config, StepBox::EraseProgram);
        tick(a.data, StepBox::EraseDataMemory);
        break;
    default: break;
    }
    return request;
}

OperationRequest DumpRequest(std::int32_t address, std::int32_t count) {
    OperationRequest request;
    request.kind = OperationRequest::Kind::Dump;
    request.address = address;
    request.count = count;
    return request;
}

void Press(programmer::TFarmOperations& operations, ConsoleHost& host, const OperationRequest& request) {
    host.Ticked = request.steps;
    host.HexPath = request.hexPath;
    if (request.kind == OperationRequest::Kind::Dump) {
        // The window reads both fields as hexadecimal.
        host.DumpAddress = Hex4(request.address);
        host.DumpSize = Hex4(request.count);
        operations.btnDumpClick();
    } else {
        operations.btnGoClick();
    }
}

OperationPlan PlanOperation(const device::TPicDevice& device, const image::THexFile& image,
                            const OperationRequest& request, LinkKind link) {
    VirtualClock clock;
    serial::TCommX comm;
    comm.SetClock(clock);
    comm.SetFlowCtrl(serial::cfcNone);
    // Nothing behind the cable: the runs take the same steps whatever the chip answers.
    std::function<LinkCounts()> counts;
    if (link == LinkKind::Ft232r) {
        auto cable = std::make_shared<simulator::SimFt232r>(nullptr, clock, 0);
        comm.SetDriverFactory(ftdi::MakeFtdiPortFactory(cable, ftdi::FtdiTarget{}));
        counts = [cable] { return LinkCounts{0, cable->Transfers(), cable->BytesWritten()}; };
    } else {
        auto counter = std::make_shared<simulator::LineLatency>(nullptr, clock, 0);
        auto port = std::make_shared<serial::SimPort>();
        port->SetRecording(false);
        port->SetClock(clock);
        port->SetPeer(counter);
        comm.SetDriverFactory(serial::MakeSimPortFactory(port));
        counts = [counter] { return LinkCounts{counter->Calls(), 0, 0}; };
    }

    image::THexFile copy = image;
    copy.SetProcessEventsHook(nullptr);
    copy.SetChecksumErrorHook(nullptr);

    ConsoleHost host(clock);
    host.Port = "COM0";
    host.Counter = counts;
    host.RecordPoints = true;
    host.OnPump = [&comm] { comm.ProcessNotifications(); };
    programmer::TFarmOperations operations(host, comm, copy, device);
    Press(operations, host, request);

    OperationPlan plan;
    plan.span = host.Span;
    plan.points = std::move(host.Points);
    plan.end = host.Here();
    return plan;
}

} // namespace vandrel::cli
