// Ports given by their Linux device paths, a pseudo-terminal standing in for
// the adapter (no real serial device is opened).
#include "cli/cli_test_env.h"
#include "serial/posix_port_driver.h"
#include "support/serial_pty_posix.h"

namespace vandrel::test {
namespace {

class PortPath : public CliTest {
protected:
    PortPath() {
        system.PathDriver = [this](const std::string& path) -> std::unique_ptr<serial::PortDriver> {
            opened.push_back(path);
            return std::make_unique<serial::PosixPortDriver>([path](const std::string&) { return path; });
        };
    }
    std::vector<std::string> opened;
};

TEST_F(PortPath, ADevicePathOrALinkToItIsOpenedByThatPath) {
    SerialPty pty;
    const std::string link = dir / "usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
    std::filesystem::create_symlink(pty.SlavePath(), link);
    for (const std::string& port : {pty.SlavePath(), link}) {
        SCOPED_TRACE(port);
        opened.clear();
        // A pseudo-terminal has no modem lines: no chip answers, but the path was opened.
        const CliResult r = Run({"-d", "PIC16F628A", "-p", port, "detect"});
        EXPECT_EQ(r.status, 3);
        const std::string where = port == link ? link + " (" + pty.SlavePath() + ")" : port;
        EXPECT_NE(r.err.find(where + ": no chip answers"), std::string::npos) << r.err;
        EXPECT_EQ(opened, std::vector<std::string>{pty.SlavePath()});
    }
}

TEST_F(PortPath, APathThatLeadsNowhereListsThePortsThatExist) {
    system.Ports = {{"COM1", "/dev/ttyS0"}, {"COM100", "/dev/ttyUSB0"}};
    const std::string missing = dir / "ttyUSB9";
    const CliResult r = Run({"-d", "PIC16F628A", "-p", missing, "erase"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, missing + ": no such port; the ports here are COM1 (/dev/ttyS0) and COM100 (/dev/ttyUSB0)\n");
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(system.DriversMade, 0);
}

} // namespace
} // namespace vandrel::test
