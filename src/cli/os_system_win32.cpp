#include "cli/os_system.h"

#include <io.h>

#include <cstdio>

namespace vandrel::cli {

namespace {

class Win32System final : public OsSystem {
public:
    std::vector<serial::ComPortInfo> ListPorts() override { return serial::EnumerateComPorts(); }
    std::string ResolvePort(const std::string& comName) override { return serial::ResolveComDevice(comName); }
    // A COM device cannot be looked at without opening it: the open reports.
    PortProblem CheckPortAccess(const std::string&) override { return {}; }
    std::unique_ptr<serial::PortDriver> MakePortDriver(const std::string&) override {
        return serial::MakePlatformPortDriver();
    }
    // Windows names its ports COMn: a path reaches here only when it exists,
    // and the driver then opens it under its COM name.
    std::unique_ptr<serial::PortDriver> MakePathPortDriver(const std::string&) override {
        return serial::MakePlatformPortDriver();
    }
    std::shared_ptr<serial::FtdiBus> Ft232rBus() override { return serial::MakeSystemFtdiBus(); }
};

} // namespace

std::unique_ptr<OsSystem> MakeOsSystem() { return std::make_unique<Win32System>(); }

bool StandardErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

std::string PortProblemHint(OsErrorKind kind) {
    switch (kind) {
    case OsErrorKind::Permission:
    case OsErrorKind::Busy: return "another program has the port open";
    case OsErrorKind::NotFound: return "is the adapter plugged in?";
    default: return {};
    }
}

} // namespace vandrel::cli
