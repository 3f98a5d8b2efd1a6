#pragma once
// The machine's serial ports under their COM names. On Linux the names come
// from a stable map of device paths (see the README); on Windows from the
// registry's serial device map.
#include <string>
#include <vector>

namespace vandrel::serial {

struct ComPortInfo {
    std::string Name;       // "COM3"
    std::string DevicePath; // "/dev/ttyUSB0", or the Win32 device name
    friend bool operator==(const ComPortInfo&, const ComPortInfo&) = default;
};

// The ports present on this machine, in the order the system gives them.
std::vector<ComPortInfo> EnumerateComPorts();

// The device to open for a COM name; empty when the name maps to none.
std::string ResolveComDevice(const std::string& comName);

// COM0 is reserved for the simulated adapter.
inline constexpr const char* kSimulatorPortName = "COM0";

} // namespace vandrel::serial
