#pragma once
// The COM port list of the window: the machine's serial ports under their COM
// names, in ascending order of port number, then each attached FT232R cable
// as an entry of its own ("FT232R A50285BI"), in the order the bus lists them.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftdi/ftdi_bus.h"
#include "serial/com_ports.h"

namespace vandrel::form {

using PortList = std::vector<serial::ComPortInfo>;
// Where the port names come from, in the order the system gives them.
using PortSource = std::function<PortList()>;

// "FT232R A50285BI"; "FT232R 1-5" (bus and device address) for a cable
// whose serial number cannot be read.
std::string CablePortName(const ftdi::FtdiDeviceInfo& cable);
// The cable an entry names; none for a COM name.
std::optional<ftdi::FtdiTarget> CableOfPortName(std::string_view name);

// The machine's ports, plus the simulated adapter on COM0 when
// VANDREL1_SIMULATOR names a device; then the FT232R cables of `cables`
// (the system's USB bus when null) and, when simulating, the simulated one.
PortList SystemPorts(ftdi::FtdiBus* cables = nullptr);

// Inserts `port` before the first entry whose port number is greater than its
// own, so that equal numbers keep the order they came in. The first entry of an
// empty list is taken without looking at its name. A name whose characters 4 to
// 6 are not a decimal number throws EConvertError as soon as it is compared.
void InsertPortSorted(PortList& list, const serial::ComPortInfo& port);

// Replaces `list` with the ports of `source` (SystemPorts when empty), the
// COM names sorted, the cables after them.
// When a name cannot be converted, the error propagates and `list` keeps the
// ports inserted before it.
void ListComPorts(PortList& list, const PortSource& source = {});

} // namespace vandrel::form
