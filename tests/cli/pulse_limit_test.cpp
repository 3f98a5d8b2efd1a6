// A pulse maximum through the command line: the link too slow for it is
// refused with status 3 and a faster way named; COM0 and the FT232R program.
#include <fstream>

#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

class PulseLimitCli : public CliTest {};

TEST_F(PulseLimitCli, ASlowLinkIsRefusedWithStatusThreeAndFastLinksProgram) {
    const std::string hex = dir / "one.hex";
    std::ofstream(hex) << ":020000000528D1\n:00000001FF\n"; // 0x2805 at 0x0000
    struct Case {
        const char* device;
        const char* port;
        const char* latencyUs;
        int status;
    };
    for (const Case& c : {Case{"PIC16F73", "COM0", "1000", 3}, Case{"PIC16F72", "COM0", "0", 0},
                          Case{"PIC16F73", "COM0", "0", 0}, Case{"PIC16F73", "ftdi", "1000", 0}}) {
        SCOPED_TRACE(std::string(c.device) + " on " + c.port + " at " + c.latencyUs + " us");
        const CliResult r = Run({"--simulate", c.device, "-p", c.port, "--sim-latency", c.latencyUs, "program", hex});
        ASSERT_EQ(r.status, c.status) << r.err;
        if (c.status == 3) {
            EXPECT_NE(r.err.find(std::string(c.device) + ": this link ends a programming pulse of program memory after "),
                      std::string::npos)
                << r.err;
            EXPECT_NE(r.err.find("Use a faster link: an RS-232 port or the FT232R link."), std::string::npos);
            EXPECT_EQ(r.out.find("complete."), std::string::npos);
        } else {
            EXPECT_NE(r.out.find("complete."), std::string::npos) << r.err;
        }
    }
}

} // namespace
} // namespace vandrel::test
