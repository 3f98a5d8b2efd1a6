// Which device a command works on: --device auto reads it off the chip, names
// are taken as people type them, and slips get the nearest names.
#include "cli/cli_test_env.h"
#include "common/convert.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

class DeviceChoice : public CliTest {};

TEST_F(DeviceChoice, AutoTakesTheDeviceWhoseIdTheChipAnswersOnEveryFamily) {
    // --simulate alone would name the device; --device auto reads the chip as on a real port.
    for (const std::string name : {"PIC16F628A", "PIC12F675", "PIC16F877A", "PIC16F88"}) {
        SCOPED_TRACE(name);
        const device::TPicDevice device = ShippedDevice(name);
        auto words = AcceptanceWords(device);
        words[device.ConfigurationWord.Address] = 0x3FF0; // protects none of them: the dump reads back
        const std::string hex = dir.Write(name + ".hex", HexOf(words));
        const CliResult programmed = Run({"--simulate", name, "--device", "auto", "program", hex});
        EXPECT_EQ(programmed.status, 0) << programmed.err;
        EXPECT_NE(programmed.err.find(name + " revision 0 (device ID " + Hex4(device.DeviceIDValue) +
                                      "), taken for --device auto"),
                  std::string::npos)
            << programmed.err;
        const CliResult dumped = Run({"--simulate", name, "-d", "AUTO", "dump", "0", "1"});
        EXPECT_EQ(dumped.out, "0000 2805\n");
    }
}

TEST_F(DeviceChoice, AutoAsksForTheDeviceWhenTheIdNamesNoneOrSeveralOrNoChipAnswers) {
    const std::string spec = dir.Write("twins.ini", "[PIC16F628A]\nProgramMemory.Size=2048\n"
                                                    "ConfigurationMemory.Address=0x2000\nConfigurationMemory.Size=8\n"
                                                    "DeviceID.Address=0x2006\nDeviceID.Size=1\nDeviceID.Value=0x1060\n"
                                                    "[TWIN]\nDeviceID.Address=0x2006\nDeviceID.Size=1\n"
                                                    "DeviceID.Value=0x1061\n");
    const CliResult twins = Run({"--spec", spec, "--simulate", "PIC16F628A", "-d", "auto", "erase"});
    EXPECT_EQ(twins.status, 3);
    EXPECT_NE(twins.err.find("device ID 1060 is that of PIC16F628A and TWIN: give --device NAME"), std::string::npos)
        << twins.err;

    onSimulator = [](simulator::SimChip& chip) { chip.WriteWord(0x2006, 0x2A43); };
    const CliResult unknown = Run({"--simulate", "PIC16F628A", "-d", "auto", "erase"});
    EXPECT_EQ(unknown.status, 3);
    EXPECT_NE(unknown.err.find("device ID 2A43, which matches no device in picspecs.ini: give --device NAME"),
              std::string::npos)
        << unknown.err;

    onSimulator = [](simulator::SimChip& chip) { chip.SetNoChip(true); };
    const CliResult none = Run({"--simulate", "PIC16F628A", "-d", "auto", "read", dir / "x.hex"});
    EXPECT_EQ(none.status, 3);
    EXPECT_NE(none.err.find("or a chip without a device ID: give --device NAME"), std::string::npos) << none.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.hex"));
}

TEST_F(DeviceChoice, NamesInAnyCaseWithOrWithoutPicAndTheNearestForASlip) {
    for (const std::string name : {"16f628a", "pic16F628A", "PIC16F628A"}) {
        const CliResult r = Run({"--simulate", name, "--device", name, "dump", "2006", "1"});
        EXPECT_EQ(r.out, "2006 1060\n") << name << r.err;
    }
    const CliResult slip = Run({"--simulate", "PIC16F648A", "-d", "16f648", "erase"});
    EXPECT_EQ(slip.status, 3);
    EXPECT_NE(slip.err.find("16f648: no such device in picspecs.ini; did you mean PIC16F648A, PIC16F688 or PIC16F628? (vandrel1-cli devices "
                            "lists them all)"),
              std::string::npos)
        << slip.err;
    const CliResult two = Run({"-d", "PIC16F87", "--simulate", "PIC16F8", "erase"});
    EXPECT_NE(two.err.find("did you mean PIC16F87, PIC16F88, PIC16F83 or PIC16F84?"), std::string::npos) << two.err;
    const CliResult command = Run({"progam", "x.hex"});
    EXPECT_EQ(command.status, 2);
    EXPECT_NE(command.err.find("'progam' is not a command; did you mean program?"), std::string::npos) << command.err;
}

} // namespace
} // namespace vandrel::test
