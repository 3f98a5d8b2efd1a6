// The assembled test program of each family added after the first ones
// (tests/data/programs/blink_families.asm), on fresh simulated chips: the
// command line's program, verify and read, and the window's Download and
// Read into HEX file, which must write the same file as the command line.
#include <algorithm>
#include <cctype>

#include "cli/cli_test_env.h"
#include "form/scripted_view.h"
#include "programmer/device_id.h"
#include "support/set_env.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;
using form::Control;

// Two devices of each family (three of the 12F683 family's several kinds,
// one of the 16F716's): one and two configuration words, with and without
// EEPROM, the smallest and largest program memories, no device ID.
const char* const kDevices[] = {
    "PIC12F683", "PIC16F946", "PIC16F887", // internally timed, calibration words
    "PIC12F609", "PIC16F616",              // 0x18 ... 0x0A
    "PIC16F72",  "PIC16F777",              // 0x08 ... 0x0E, a pulse maximum
    "PIC16F716",                           // 0x18 ... 0x0E
    "PIC16F877", "PIC16F84",               // erase-and-program
    "PIC16F627", "PIC16F628",              // the 16F84A's keys
};

std::string ProgramFor(std::string device) {
    std::transform(device.begin(), device.end(), device.begin(), [](unsigned char c) { return std::tolower(c); });
    return VANDREL_SOURCE_DIR "/tests/data/programs/" + device + ".hex";
}

// The window on a fresh simulated chip: Download with every box ticked, then
// Read into HEX file to `out` (not loaded). The chip keeps its calibration.
void WindowDownloadAndRead(const device::TPicDevice& device, const std::string& hex, const std::string& out,
                           const std::map<std::int32_t, std::uint16_t>& factory) {
    SetEnv("VANDREL1_SIMULATOR", device.Name.c_str());
    form::test::Trace trace;
    form::test::ScriptedView view{trace};
    form::test::ScriptedSettings settings{trace};
    form::test::TracingClock clock{trace};
    settings.Values = {{form::kPicDevice, device.Name}, {form::kHexFilePath, hex}};
    form::TFormCore core(view, settings, clock, [] { return form::PortList{{"COM0", "simulated"}}; });
    view.Core = &core;
    core.FormCreate();
    ASSERT_NE(core.SimulatedChip(), nullptr);
    for (const Control box : {Control::cbEraseAll, Control::cbWriteAll, Control::cbVerifyAll})
        view.Tick(box, true);
    view.Press(Control::btnGo);
    EXPECT_EQ(view.Log.empty() ? "" : view.Log.back(), "complete.");
    EXPECT_EQ(view.Status, "Process finished.");

    view.SaveAnswers = {out};
    view.YesNo = {false};
    core.MenuChosen(form::MenuCommand::ReadChip);
    EXPECT_EQ(view.Status, "Process finished.");
    EXPECT_EQ(view.Errors, Strings{});
    for (const auto& v : core.SimulatedChip()->Violations())
        ADD_FAILURE() << "window: " << v.What;
    for (const auto& [address, word] : factory)
        EXPECT_EQ(core.SimulatedChip()->ReadWord(address), word) << "window: calibration at " << std::hex << address;
    core.FormDestroy();
    SetEnv("VANDREL1_SIMULATOR", nullptr);
}

class FamilyPrograms : public CliTest {};

TEST_F(FamilyPrograms, EachFamilysProgramGoesOnAndReadsBackTheSameThroughTheCommandLineAndTheWindow) {
    for (const char* name : kDevices) {
        SCOPED_TRACE(name);
        const device::TPicDevice device = ShippedDevice(name);
        const std::string hex = ProgramFor(name);
        const auto source = WordsOf(hex);
        // The program reaches the top of program memory and of EEPROM, and
        // sets every configuration word.
        ASSERT_TRUE(source.count(device.ProgramMemory.Address + device.ProgramMemory.Size - 1)) << hex;
        if (device.DataMemory.Size > 0) {
            ASSERT_TRUE(source.count(device.DataMemory.Address + device.DataMemory.Size - 1));
        }
        for (std::int32_t i = 0; i < device.ConfigurationWord.Size; ++i)
            ASSERT_TRUE(source.count(device.ConfigurationWord.Address + i));

        // The fresh chip's factory calibration words, which no run may change.
        std::map<std::int32_t, std::uint16_t> factory;
        onSimulator = [&](simulator::SimChip& chip) {
            if (factory.empty())
                for (const std::int32_t a : device.Algorithm.Calibration.Words)
                    factory[a] = chip.ReadWord(a);
        };
        // A chip without a device ID cannot be identified: forced.
        Strings common = {"--simulate", name, "--sim-state", dir / (device.Name + ".state")};
        if (!programmer::HasDeviceId(device))
            common.insert(common.begin(), "--force");
        const auto run = [&](Strings args) {
            args.insert(args.begin(), common.begin(), common.end());
            return Run(args);
        };
        const std::string cliRead = dir / (device.Name + "-cli.hex");
        for (const Strings& args : {Strings{"program", hex}, Strings{"verify", hex}, Strings{"read", cliRead}}) {
            const CliResult r = run(args);
            ASSERT_EQ(r.status, 0) << args[0] << "\n" << r.out << r.err;
            if (args[0] != "read") {
                EXPECT_EQ(Lines(r.out).back(), "complete.") << args[0];
            }
            for (const auto& v : Chip()->Violations())
                ADD_FAILURE() << args[0] << ": " << v.What;
        }
        ASSERT_EQ(factory.size(), device.Algorithm.Calibration.Words.size());
        const auto read = WordsOf(cliRead);
        ExpectSameChip(source, read, device);
        // The read holds the chip's own calibration words, as the chip kept them.
        for (const auto& [address, word] : factory) {
            EXPECT_EQ(Chip()->ReadWord(address), word) << "calibration lost at " << std::hex << address;
            ASSERT_TRUE(read.count(address)) << std::hex << address;
            EXPECT_EQ(read.at(address), word) << std::hex << address;
        }

        const std::string windowRead = dir / (device.Name + "-window.hex");
        WindowDownloadAndRead(device, hex, windowRead, factory);
        EXPECT_EQ(ReadWholeFile(windowRead), ReadWholeFile(cliRead));
    }
}

} // namespace
} // namespace vandrel::test
