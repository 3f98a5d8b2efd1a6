// dump and detect: the window's dump lines on standard output, and the chip
// named from its device ID.
#include <algorithm>

#include "cli/cli_test_env.h"
#include "common/convert.h"
#include "programmer/device_id.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

class DumpDetect : public CliTest {};

TEST_F(DumpDetect, DumpPrintsOnlyTheWordsOnStandardOutputEvenWhenQuiet) {
    const std::string state = dir / "s";
    ASSERT_EQ(Run({"--simulate", "PIC16F628A", "--sim-state", state, "program", ExampleHex()}).status, 0);
    for (const bool quiet : {false, true}) {
        Strings args = {"--simulate", "PIC16F628A", "--sim-state", state, "dump", "1FFE", "A"};
        if (quiet)
            args.insert(args.begin(), "-q");
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        // 1FFE and 1FFF lie in no area: skipped without a line. The log
        // lines go to standard error, and -q silences them.
        EXPECT_EQ(Lines(r.out), (Strings{"2000 0001", "2001 0000", "2002 0000", "2003 0001", "2004 3FFF", "2005 3FFF",
                                         "2006 1060", "2007 3F70"}));
        EXPECT_EQ(r.err.empty(), quiet) << r.err;
        EXPECT_EQ(r.err.find("<RESET>") != std::string::npos, !quiet) << r.err;
    }
}

TEST_F(DumpDetect, ADumpPastTheDevicesMemorySaysWhereItStopped) {
    const CliResult past = Run({"--simulate", "PIC16F628A", "dump", "217E", "10"});
    EXPECT_EQ(past.status, 0) << past.err;
    EXPECT_EQ(Lines(past.out), (Strings{"217E 00FF", "217F 00FF"}));
    EXPECT_NE(past.err.find("the dump stopped after 217F: the PIC16F628A has no memory at 2180-218D"),
              std::string::npos)
        << past.err;
    const CliResult none = Run({"--simulate", "PIC16F628A", "dump", "3000", "10"});
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("nothing dumped: the PIC16F628A has no memory at 3000-300F"), std::string::npos)
        << none.err;
}

TEST_F(DumpDetect, DetectNamesEveryShippedDevice) {
    const std::vector<device::TPicDevice> devices = ShippedDevices();
    for (const device::TPicDevice& device : devices) {
        SCOPED_TRACE(device.Name);
        if (!programmer::HasDeviceId(device))
            continue; // the 16F83/84 (non-A) have none to answer
        // Every section with the ID names it (the 16F636 and 16F639 share 10A0).
        std::string names;
        for (const device::TPicDevice& d : devices)
            if (d.DeviceIDValue == device.DeviceIDValue)
                names += (names.empty() ? "" : " or ") + d.Name;
        const CliResult r = Run({"--simulate", device.Name, "detect"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, names + " revision 0 (device ID " + Hex4(device.DeviceIDValue) + ")\n");
    }
}

TEST_F(DumpDetect, DetectReadsTheRevisionFromTheLowFiveBits) {
    // A device file of our own, whose chip carries revision 3.
    const std::string spec = dir.Write("mine.ini", "[PIC16F628A]\nProgramMemory.Address=0\nProgramMemory.Size=2048\n"
                                                   "ConfigurationMemory.Address=0x2000\nConfigurationMemory.Size=8\n"
                                                   "DeviceID.Address=0x2006\nDeviceID.Size=1\nDeviceID.Value=0x1063\n"
                                                   "DataMemory.Address=0x2100\nDataMemory.Size=128\n"
                                                   "[OTHER]\nDeviceID.Address=0x2006\nDeviceID.Size=1\n"
                                                   "DeviceID.Value=0x0560\n");
    const CliResult r = Run({"--spec", spec, "--simulate", "PIC16F628A", "detect"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "PIC16F628A revision 3 (device ID 1063)\n");

    // With another device given, detect still names the chip, says so and exits 1.
    const CliResult other = Run({"--spec", spec, "--simulate", "PIC16F628A", "--device", "OTHER", "detect"});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.out, "PIC16F628A revision 3 (device ID 1063)\n");
    EXPECT_NE(other.err.find("not the OTHER given"), std::string::npos) << other.err;
}

TEST_F(DumpDetect, DetectSaysNoChipAnswersAndNamesAnUnknownId) {
    onSimulator = [](simulator::SimChip& chip) { chip.SetNoChip(true); };
    const CliResult none = Run({"--simulate", "PIC16F628A", "detect"});
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("COM0 (simulated PIC16F628A): no chip answers (device ID 3FFF): no chip, no power, "
                            "or a wrong adapter or port"),
              std::string::npos)
        << none.err;

    onSimulator = [](simulator::SimChip& chip) { chip.WriteWord(0x2006, 0x2A43); };
    const CliResult unknown = Run({"--simulate", "PIC16F628A", "detect"});
    EXPECT_EQ(unknown.status, 3);
    EXPECT_NE(unknown.err.find("device ID 2A43, which matches no device in picspecs.ini"), std::string::npos)
        << unknown.err;
}

TEST_F(DumpDetect, DetectWorksWithoutADeviceOnARealPortName) {
    // COM5 is a port of the machine whose driver has a chip-less cable: CTS off.
    system.Devices["COM5"] = "/dev/ttyFAKE4";
    const CliResult r = Run({"--port", "COM5", "detect"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("COM5 (/dev/ttyFAKE4): no chip answers (device ID 3FFF)"), std::string::npos) << r.err;
    EXPECT_EQ(system.DriversMade, 1);
    EXPECT_FALSE(system.Port->IsOpen());
}

TEST_F(DumpDetect, VerboseTracesEachCommandWithItsLineChangesAndTheAdaptersLatency) {
    const Strings args = {"--simulate", "PIC16F628A", "--sim-latency", "50", "detect"};
    EXPECT_EQ(Run(args).err.find("trace:"), std::string::npos);
    Strings verbose = args;
    verbose.insert(verbose.begin(), "-v");
    const CliResult r = Run(verbose);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "PIC16F628A revision 0 (device ID 1060)\n");
    // What each command was, in order; its time is that of the virtual clock's steps.
    Strings commands;
    for (const std::string& line : Lines(r.err))
        if (line.rfind("trace: ", 0) == 0 && line.find("adapter") == std::string::npos)
            commands.push_back(line.substr(0, line.find("  (")));
    const auto reset = std::find(commands.rbegin(), commands.rend(), "trace: MCLR low: reset").base() - 1;
    ASSERT_GE(commands.end() - reset, 9) << r.err;
    EXPECT_EQ(Strings(reset, reset + 9),
              (Strings{"trace: MCLR low: reset", "trace: wait 100 ms", "trace: MCLR at VPP: programming mode",
                       "trace: Load Configuration 0000", "trace: Read Data from Program Memory -> 3FFF",
                       "trace: Increment Address", "trace: Read Data from Program Memory -> 3FFF",
                       "trace: Increment Address", "trace: Read Data from Program Memory -> 3FFF"}))
        << r.err;
    EXPECT_NE(r.err.find("trace: Read Data from Program Memory -> 1060  (46 line changes, "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("trace: adapter: 50."), std::string::npos) << r.err;
}

} // namespace
} // namespace vandrel::test
