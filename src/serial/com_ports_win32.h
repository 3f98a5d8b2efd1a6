#pragma once
// The Windows side of the COM port list: the serial device map is a registry
// key whose string values each name one port in their data.
#include "common/windows_api.h"

#include <string>
#include <vector>

#include "serial/com_ports.h"

namespace vandrel::serial {

// Where EnumerateComPorts looks, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kSerialDeviceMapKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The ports listed by the string values of root\subKey, in the registry's
// order; the value data are the port names, the value names are ignored.
// Empty when the key cannot be opened.
std::vector<ComPortInfo> EnumerateComPortsIn(HKEY root, const std::string& subKey);

} // namespace vandrel::serial
