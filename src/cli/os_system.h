#pragma once
// What the command-line program needs of the machine, behind one interface so
// that tests run it against made-up ports: the COM port list, where a COM
// name leads, whether that device can be opened (found without opening it),
// the port driver, and the USB bus of the FT232R cables.
#include <memory>
#include <string>
#include <vector>

#include "serial/com_ports.h"
#include "ftdi/ftdi_bus.h"
#include "serial/port_driver.h"

namespace vandrel::cli {

// Why a port cannot be used, by kind rather than by the system's wording.
enum class OsErrorKind { None, NotFound, Permission, Busy, Other };

struct PortProblem {
    OsErrorKind kind = OsErrorKind::None;
    std::string reason; // the system's text
};

class OsSystem {
public:
    virtual ~OsSystem() = default;
    virtual std::vector<serial::ComPortInfo> ListPorts() = 0;
    // The device a COM name leads to; empty when none.
    virtual std::string ResolvePort(const std::string& comName) = 0;
    // What keeps the device from being opened, as far as can be seen without
    // opening it; kind None when nothing does.
    virtual PortProblem CheckPortAccess(const std::string& devicePath) = 0;
    // The driver for one opening of "\\.\COMn".
    virtual std::unique_ptr<serial::PortDriver> MakePortDriver(const std::string& deviceName) = 0;
    // The driver for a port given by its device path (/dev/ttyUSB0), whatever COM name it is opened under.
    virtual std::unique_ptr<serial::PortDriver> MakePathPortDriver(const std::string& devicePath) = 0;
    // Where the FT232R cables are: libftdi's USB bus, or one that says why there is none.
    virtual std::shared_ptr<ftdi::FtdiBus> Ft232rBus() = 0;
};

// The real machine (os_system_posix.cpp / os_system_win32.cpp).
std::unique_ptr<OsSystem> MakeOsSystem();
bool StandardErrorIsTerminal();

// While it lives, a console shows the program's UTF-8 text as such ("µs",
// "—"). Windows: the console's output code page is UTF-8, and the one before
// is put back at the end. Elsewhere nothing to do.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_ = 0;
};

// The places of this system as the help and messages name them.
struct SystemWords {
    const char* stateFile;   // the simulated chips' state file, by default
    const char* environment; // the help's lines on this system's own variables
    const char* noStatePlace; // what to set when no state file can be placed
};
const SystemWords& ThisSystemWords();

// "COM100 (/dev/ttyUSB0): Permission denied — add your user to the dialout group"
std::string PortProblemMessage(const std::string& comName, const std::string& devicePath, const PortProblem& problem);

// "; the ports here are COM1 (/dev/ttyS0) and COM100 (/dev/ttyUSB0)", or
// "; no serial port is here": said when a port cannot be found or opened.
std::string ExistingPorts(OsSystem& system);

// The hint for a kind of problem on this system ("" none).
std::string PortProblemHint(OsErrorKind kind);

// "ftdi:A6008isP (FT232R USB UART, bus 1 device 5): ftdi_usb_open_dev: unable to claim usb device
// — another program has the cable open: close it and try again"
std::string CableProblemMessage(const std::string& portName, const std::string& where,
                                const ftdi::FtdiProblem& problem);

} // namespace vandrel::cli
