#include "form/com_port_list.h"

#include <cstdint>

#include "common/convert.h"
#include "simulator/sim_programmer.h"

namespace vandrel::form {

PortList SystemPorts() {
    PortList ports = serial::EnumerateComPorts();
    if (const auto device = simulator::SimulatorDeviceFromEnvironment())
        ports.push_back({serial::kSimulatorPortName, "simulated " + device->Name});
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
    for (const auto& port : found)
        InsertPortSorted(list, port);
}

} // namespace vandrel::form
