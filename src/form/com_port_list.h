#pragma once
// The COM port list of the window: the machine's serial ports under their COM
// names, in ascending order of port number.
#include <functional>
#include <vector>

#include "serial/com_ports.h"

namespace vandrel::form {

using PortList = std::vector<serial::ComPortInfo>;
// Where the port names come from, in the order the system gives them.
using PortSource = std::function<PortList()>;

// The machine's ports, plus the simulated adapter on COM0 when
// VANDREL1_SIMULATOR names a device.
PortList SystemPorts();

// Inserts `port` before the first entry whose port number is greater than its
// own, so that equal numbers keep the order they came in. The first entry of an
// empty list is taken without looking at its name. A name whose characters 4 to
// 6 are not a decimal number throws EConvertError as soon as it is compared.
void InsertPortSorted(PortList& list, const serial::ComPortInfo& port);

// Replaces `list` with the ports of `source` (SystemPorts when empty), sorted.
// When a name cannot be converted, the error propagates and `list` keeps the
// ports inserted before it.
void ListComPorts(PortList& list, const PortSource& source = {});

} // namespace vandrel::form
