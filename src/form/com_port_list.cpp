#include "form/com_port_list.h"

#include <cstdint>

#include "common/convert.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_programmer.h"

namespace vandrel::form {

namespace {
constexpr std::string_view kCablePrefix = "FT232R ";
} // namespace

std::string CablePortName(const ftdi::FtdiDeviceInfo& cable) {
    if (!cable.serial.empty())
        return std::string(kCablePrefix) + cable.serial;
    return std::string(kCablePrefix) + std::to_string(cable.bus) + "-" + std::to_string(cable.address);
}

std::optional<ftdi::FtdiTarget> CableOfPortName(std::string_view name) {
    if (!name.starts_with(kCablePrefix) || name.size() == kCablePrefix.size())
        return std::nullopt;
    return ftdi::ParseFtdiPortName("ftdi:" + std::string(name.substr(kCablePrefix.size())));
}

PortList SystemPorts(ftdi::FtdiBus* cables) {
    PortList ports = serial::EnumerateComPorts();
    const auto device = simulator::SimulatorDeviceFromEnvironment();
    if (device)
        ports.push_back({serial::kSimulatorPortName, "simulated " + device->Name});
    std::shared_ptr<ftdi::FtdiBus> system;
    if (cables == nullptr) {
        system = ftdi::MakeSystemFtdiBus();
        cables = system.get();
    }
    ftdi::FtdiProblem problem; // a bus that cannot be listed lists nothing
    for (const ftdi::FtdiDeviceInfo& cable : cables->List(problem))
        ports.push_back({CablePortName(cable), cable.description});
    if (device)
        ports.push_back({CablePortName(simulator::SimulatedCableInfo()), "simulated FT232R with " + device->Name});
    return ports;
}

void InsertPortSorted(PortList& list, const serial::ComPortInfo& port) {
    if (list.empty()) {
        list.push_back(port);
        return;
    }
    for (auto it = list.begin(); it != list.end(); ++it) {
        // The entry's number first, then the new name's: with two bad names
        // the error names the entry's.
        const std::int32_t entryNumber = PortNumberOf(it->Name);
        if (entryNumber > PortNumberOf(port.Name)) {
            list.insert(it, port);
            return;
        }
    }
    list.push_back(port);
}

void ListComPorts(PortList& list, const PortSource& source) {
    list.clear();
    const PortList found = source ? source() : SystemPorts();
    PortList cables;
    for (const auto& port : found) {
        if (CableOfPortName(port.Name))
            cables.push_back(port);
        else
            InsertPortSorted(list, port);
    }
    list.insert(list.end(), cables.begin(), cables.end());
}

} // namespace vandrel::form
