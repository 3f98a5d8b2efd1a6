#include "cli/os_system.h"

#include <windows.h>

#include <io.h>

#include <cstdio>

namespace vandrel::cli {

namespace {

// Cables in bit-bang mode go through libftdi, which this build does not have;
// the same cable still serves as a COM port with its modem lines.
constexpr const char* kNoFt232rLink =
    "this Windows build has no FT232R link (bit-bang mode is for Linux, through libftdi) \u2014 an FT232R "
    "cable still works as a COM port: give its COMn (vandrel1-cli ports lists them)";

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
    std::shared_ptr<ftdi::FtdiBus> Ft232rBus() override { return ftdi::MakeUnavailableFtdiBus(kNoFt232rLink); }
};

} // namespace

std::unique_ptr<OsSystem> MakeOsSystem() { return std::make_unique<Win32System>(); }

bool StandardErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

// Without a console (output to files or pipes) there is no code page to set.
Utf8Console::Utf8Console() : previous_(::GetConsoleOutputCP()) {
    if (previous_ != 0 && previous_ != CP_UTF8 && !::SetConsoleOutputCP(CP_UTF8))
        previous_ = 0;
}

Utf8Console::~Utf8Console() {
    if (previous_ != 0 && previous_ != CP_UTF8)
        ::SetConsoleOutputCP(previous_);
}

const SystemWords& ThisSystemWords() {
    static const SystemWords words{
        .stateFile = "%LOCALAPPDATA%\\vandrel1\\DEVICE.hex",
        .environment = "  LOCALAPPDATA        the simulated chips' state files go to\n"
                       "                      %LOCALAPPDATA%\\vandrel1\\DEVICE.hex (XDG_STATE_HOME first, when set)\n",
        .noStatePlace = "set LOCALAPPDATA",
    };
    return words;
}

std::string PortProblemHint(OsErrorKind kind) {
    switch (kind) {
    case OsErrorKind::Permission:
    case OsErrorKind::Busy: return "another program has the port open";
    case OsErrorKind::NotFound: return "is the adapter plugged in?";
    default: return {};
    }
}

} // namespace vandrel::cli
