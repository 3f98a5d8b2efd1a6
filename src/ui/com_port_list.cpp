#include "ui/com_port_list.h"

#include "common/convert.h"
#include "simulator/sim_programmer.h"

namespace vandrel::ui {

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
        if (PortNumberOf(it->Name) > PortNumberOf(port.Name)) {
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

} // namespace vandrel::ui
