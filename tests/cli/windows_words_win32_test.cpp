// What the Windows build says where a Linux build names Linux things: the
// state files' place, the FT232R link it does not have.
#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

class WindowsWords : public CliTest {};

TEST_F(WindowsWords, HelpAndMessagesNameWindowsPlaces) {
    const CliResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("%LOCALAPPDATA%\\vandrel1\\DEVICE.hex (XDG_STATE_HOME first, when set)"),
              std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find("(default: %LOCALAPPDATA%\\vandrel1\\DEVICE.hex)"), std::string::npos) << help.out;
    for (const char* linuxOnly : {"~/.local", "$XDG_STATE_HOME/", "VANDREL1_PORTS"})
        EXPECT_EQ(help.out.find(linuxOnly), std::string::npos) << linuxOnly;

    struct Case {
        std::vector<std::string> args;
        bool noEnvironment;
        std::string said;
    };
    const Case cases[] = {
        {{"-d", "PIC16F628A", "-p", "ftdi", "detect"}, false,
         "ftdi: this Windows build has no FT232R link (bit-bang mode is for Linux, through libftdi)"},
        {{"-d", "PIC16F628A", "-p", "ftdi:A6008isP", "erase"}, false, "ftdi:A6008isP: this Windows build has no"},
        {{"--simulate", "PIC16F628A", "detect"}, true,
         "no place for the simulated chip's state file: set LOCALAPPDATA, or give --sim-state FILE"},
    };
    system.UsbBus = cli::MakeOsSystem()->Ft232rBus();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        if (c.noEnvironment)
            env.clear();
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 3);
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace vandrel::test
