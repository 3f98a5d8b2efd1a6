// devices and ports: what there is to choose from.
#include <algorithm>
#include <cstdio>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/inputs.h"
#include "cli/json_results.h"
#include "simulator/sim_ft232r.h"

namespace vandrel::cli {

ExitStatus RunDevicesCommand(const Invocation& inv, CliContext& ctx) {
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const std::vector<device::TPicDevice> devices = file.Devices();
    if (inv.json)
        return console.Result(DevicesJson(file.path, devices)), ExitStatus::Success;
    if (devices.empty()) {
        console.Note(file.label + " lists no device");
        return ExitStatus::Success;
    }
    std::size_t width = std::string("device").size();
    for (const auto& d : devices)
        width = std::max(width, d.Name.size());
    const auto row = [&](const std::string& name, const std::string& words, const std::string& bytes,
                         const std::string& lvp) {
        char text[64];
        std::snprintf(text, sizeof text, "  %13s  %12s  %3s", words.c_str(), bytes.c_str(), lvp.c_str());
        return name + std::string(width - name.size(), ' ') + text;
    };
    console.Result("device file: " + file.path);
    console.Result(row("device", "program words", "EEPROM bytes", "LVP"));
    for (const auto& d : devices)
        console.Result(row(d.Name, std::to_string(std::max<int>(d.ProgramMemory.Size, 0)),
                           std::to_string(std::max<int>(d.DataMemory.Size, 0)), d.LVP ? "yes" : "no"));
    return ExitStatus::Success;
}

ExitStatus RunPortsCommand(const Invocation& inv, CliContext& ctx) {
    Console console(ctx, inv.quiet);
    std::vector<std::pair<std::string, std::string>> rows;
    if (!inv.simulate.empty()) {
        const DeviceFile file = LoadDeviceFile(inv, ctx);
        if (const auto simulated = file.Find(inv.simulate)) {
            rows.emplace_back("COM0", "simulated " + simulated->Name);
            rows.emplace_back(std::string("ftdi:") + simulator::kSimFt232rSerial,
                              "simulated FT232R with " + simulated->Name);
        } else {
            console.Error(file.NoSuchDevice(inv.simulate) + "; so there is no COM0");
        }
    }
    for (const serial::ComPortInfo& port : ctx.system.ListPorts())
        rows.emplace_back(port.Name, port.DevicePath);
    ftdi::FtdiProblem problem;
    for (const ftdi::FtdiDeviceInfo& cable : ctx.system.Ft232rBus()->List(problem)) {
        ftdi::FtdiTarget target;
        target.kind = cable.serial.empty() ? ftdi::FtdiTarget::Kind::BusAddress : ftdi::FtdiTarget::Kind::Serial;
        target.serial = cable.serial;
        target.bus = cable.bus;
        target.address = cable.address;
        rows.emplace_back(ftdi::FtdiPortName(target),
                          DescribeCable(cable) + (cable.accessible ? "" : " (no access: see the README's udev rule)"));
    }
    if (problem && problem.kind != ftdi::FtdiProblem::Kind::Unavailable)
        console.Note("FT232R cables could not be listed: " + problem.text);
    if (inv.json)
        return console.Result(PortsJson(rows)), ExitStatus::Success;
    if (rows.empty()) {
        console.Note("No COM port found.");
        return ExitStatus::Success;
    }
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    for (const auto& [name, path] : rows)
        console.Result(name + std::string(width - name.size() + 2, ' ') + path);
    return ExitStatus::Success;
}

} // namespace vandrel::cli
