#include "cli/os_system.h"

#include <unistd.h>

#include "serial/posix_port_driver.h"

#include <cerrno>
#include <cstring>

namespace vandrel::cli {

namespace {

OsErrorKind KindOfErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return OsErrorKind::NotFound;
    case EACCES:
    case EPERM: return OsErrorKind::Permission;
    case EBUSY: return OsErrorKind::Busy;
    default: return OsErrorKind::Other;
    }
}

class PosixSystem final : public OsSystem {
public:
    std::vector<serial::ComPortInfo> ListPorts() override { return serial::EnumerateComPorts(); }
    std::string ResolvePort(const std::string& comName) override { return serial::ResolveComDevice(comName); }
    PortProblem CheckPortAccess(const std::string& devicePath) override {
        if (::access(devicePath.c_str(), R_OK | W_OK) == 0)
            return {};
        const int error = errno;
        return {KindOfErrno(error), std::strerror(error)};
    }
    std::unique_ptr<serial::PortDriver> MakePortDriver(const std::string&) override {
        return serial::MakePlatformPortDriver();
    }
    std::unique_ptr<serial::PortDriver> MakePathPortDriver(const std::string& devicePath) override {
        return std::make_unique<serial::PosixPortDriver>([devicePath](const std::string&) { return devicePath; });
    }
    std::shared_ptr<ftdi::FtdiBus> Ft232rBus() override { return ftdi::MakeSystemFtdiBus(); }
};

} // namespace

std::unique_ptr<OsSystem> MakeOsSystem() { return std::make_unique<PosixSystem>(); }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

const SystemWords& ThisSystemWords() {
    static const SystemWords words{
        .stateFile = "$XDG_STATE_HOME/vandrel1/DEVICE.hex",
        .environment = "  XDG_STATE_HOME      the simulated chips' state files go to\n"
                       "                      $XDG_STATE_HOME/vandrel1/DEVICE.hex (else ~/.local/state)\n"
                       "  VANDREL1_PORTS      the file of extra COM names (Linux, see the README)\n",
        .noStatePlace = "set XDG_STATE_HOME or HOME",
    };
    return words;
}

std::string PortProblemHint(OsErrorKind kind) {
    switch (kind) {
    case OsErrorKind::Permission: return "add your user to the dialout group";
    case OsErrorKind::Busy: return "another program has the port open";
    case OsErrorKind::NotFound: return "is the adapter plugged in?";
    default: return {};
    }
}

} // namespace vandrel::cli
