// The command line: defaults from the environment, help and version, and the
// information commands.
#include "cli/cli_test_env.h"
#include "cli/command_line.h"
#include "cli/exit_status.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;
using cli::ExitStatus;

class CommandLine : public CliTest {
protected:
    std::optional<cli::Invocation> Parse(Strings args) {
        args.insert(args.begin(), "vandrel1-cli");
        std::ostringstream out, err;
        const auto getEnv = [this](const char* name) -> const char* {
            const auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        };
        return cli::ParseCommandLine(args, getEnv, out, err).invocation;
    }
};

TEST_F(CommandLine, DeviceAndPortComeFromOptionsThenSimulateThenTheEnvironment) {
    struct Case {
        std::map<std::string, std::string> env;
        Strings args;
        std::string device, port, simulate;
    };
    const std::vector<Case> cases = {
        {{}, {"erase"}, "auto", "", ""},
        {{{"VANDREL1_DEVICE", "PIC16F84A"}, {"VANDREL1_PORT", "COM100"}}, {"erase"}, "PIC16F84A", "COM100", ""},
        {{{"VANDREL1_DEVICE", "PIC16F84A"}, {"VANDREL1_PORT", "COM100"}},
         {"-d", "PIC16F628A", "-p", "COM3", "erase"}, "PIC16F628A", "COM3", ""},
        // --simulate on the command line beats the environment's defaults ...
        {{{"VANDREL1_DEVICE", "PIC16F84A"}, {"VANDREL1_PORT", "COM100"}},
         {"--simulate", "PIC16F648A", "erase"}, "PIC16F648A", "COM0", "PIC16F648A"},
        // ... VANDREL1_SIMULATOR does not.
        {{{"VANDREL1_DEVICE", "PIC16F84A"}, {"VANDREL1_PORT", "COM100"}, {"VANDREL1_SIMULATOR", "PIC16F648A"}},
         {"erase"}, "PIC16F84A", "COM100", "PIC16F648A"},
        {{{"VANDREL1_SIMULATOR", "PIC16F648A"}}, {"erase"}, "PIC16F648A", "COM0", "PIC16F648A"},
        // Common options also after the command.
        {{}, {"erase", "--device", "PIC16F627A", "--port", "COM7"}, "PIC16F627A", "COM7", ""},
    };
    for (const Case& c : cases) {
        env = c.env;
        const auto inv = Parse(c.args);
        ASSERT_TRUE(inv);
        EXPECT_EQ(inv->device, c.device);
        EXPECT_EQ(inv->port, c.port);
        EXPECT_EQ(inv->simulate, c.simulate);
    }
}

TEST_F(CommandLine, HelpAndVersionExitZeroOnStandardOutput) {
    const CliResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    for (const char* part : {"Exit status:", "130  interrupted", "VANDREL1_DEVICE", "VANDREL1_PORT", "VANDREL1_SIMULATOR",
                             "vandrel1-cli -d PIC16F628A -p COM100 program blink.hex", "  detect "})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;

    for (const char* command : {"devices", "ports", "program", "verify", "erase", "read", "dump", "detect"}) {
        const CliResult sub = Run({command, "--help"});
        EXPECT_EQ(sub.status, 0);
        EXPECT_NE(sub.out.find(std::string("Example:\n  vandrel1-cli ")), std::string::npos) << command;
    }

    const CliResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("vandrel1-cli ") + cli::ProgramVersion() + "\n");
    EXPECT_NE(std::string(cli::ProgramVersion()), "unknown");
}

TEST_F(CommandLine, DevicesListsTheDeviceFileAndNamesIt) {
    const CliResult r = Run({"devices", "--quiet"});
    EXPECT_EQ(r.status, 0);
    const Strings lines = Lines(r.out);
    const auto devices = ShippedDevices();
    ASSERT_EQ(lines.size(), devices.size() + 2);
    EXPECT_EQ(lines[0], "device file: " + device::DeviceSpecPath());
    EXPECT_EQ(lines[1], "device      program words  EEPROM bytes  LVP");
    for (std::size_t i = 0; i < devices.size(); ++i) {
        std::istringstream row(lines[i + 2]);
        std::string name, words, bytes, lvp;
        row >> name >> words >> bytes >> lvp;
        EXPECT_EQ(name, devices[i].Name);
        EXPECT_EQ(words, std::to_string(devices[i].ProgramMemory.Size));
        EXPECT_EQ(bytes, std::to_string(devices[i].DataMemory.Size));
        EXPECT_EQ(lvp, devices[i].LVP ? "yes" : "no");
    }
}

TEST_F(CommandLine, DevicesOfAUsersOwnFileAreListedFromThatFile) {
    const std::string own = dir.Write("mine.ini", "[PIC16FX]\nProgramMemory.Size=512\nDataMemory.Size=$40\nLVP=1\n");
    EXPECT_EQ(Run({"--spec", own, "devices"}).out, "device file: " + own +
                                                       "\n"
                                                       "device   program words  EEPROM bytes  LVP\n"
                                                       "PIC16FX            512            64  yes\n");
    const CliResult none = Run({"--spec", dir.Write("empty.ini", "; nothing\n"), "devices"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, dir / "empty.ini" + " lists no device\n");
}

TEST_F(CommandLine, PortsListsTheMachinesPortsAndTheSimulatedOne) {
    system.Ports = {{"COM1", "/dev/ttyS0"}, {"COM100", "/dev/ttyUSB0"}};
    EXPECT_EQ(Run({"ports"}).out, "COM1    /dev/ttyS0\nCOM100  /dev/ttyUSB0\n");
    EXPECT_EQ(Run({"--simulate", "pic16f84a", "ports"}).out,
              "COM0            simulated PIC16F84A\n"
              "ftdi:VNDRL1SIM  simulated FT232R with PIC16F84A\n"
              "COM1            /dev/ttyS0\n"
              "COM100          /dev/ttyUSB0\n");
    system.Ports.clear();
    const CliResult none = Run({"ports"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "No COM port found.\n");
}

TEST(ExitStatus, OneFunctionMapsEveryEnding) {
    const auto status = [](bool wantsSummary, std::optional<std::string> summary, bool interrupted = false,
                           std::vector<std::string> boxes = {}) {
        cli::RunOutcome outcome;
        outcome.wantsSummary = wantsSummary;
        outcome.summary = std::move(summary);
        outcome.interrupted = interrupted;
        outcome.errorBoxes = std::move(boxes);
        return static_cast<int>(cli::ExitStatusOf(outcome));
    };
    EXPECT_EQ(status(true, "complete."), 0);
    EXPECT_EQ(status(true, "1 errors."), 1);
    EXPECT_EQ(status(true, "2048 errors."), 1);
    EXPECT_EQ(status(true, std::nullopt), 3); // ended without its summary
    EXPECT_EQ(status(false, std::nullopt, false, {"Cannot open serial port."}), 3);
    EXPECT_EQ(status(true, "complete.", true), 130);
    EXPECT_EQ(status(false, std::nullopt), 0); // a dump
    EXPECT_FALSE(cli::ErrorCountOf("errors."));
    EXPECT_FALSE(cli::ErrorCountOf("x errors."));
    EXPECT_EQ(cli::ErrorCountOf("12 errors."), 12);
}

} // namespace
} // namespace vandrel::test
