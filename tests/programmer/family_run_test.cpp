// The programming run of the devices whose sections carry algorithm keys,
// against simulated chips of their families.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "common/convert.h"
#include "programmer/sim_rig.h"

namespace vandrel::test {
namespace {

using programmer::StepBox;
using Lines = std::vector<std::string>;

const char* const kNewDevices[] = {"PIC12F629",  "PIC12F675",  "PIC16F630",  "PIC16F676",
                                   "PIC16F873A", "PIC16F874A", "PIC16F876A", "PIC16F877A",
                                   "PIC16F87",   "PIC16F88",   "PIC16F818",  "PIC16F819"};

std::uint16_t MaskAt(const device::TPicDevice& d, std::int32_t address) {
    if (!device::InRange(address, d.ConfigurationWord) || d.Algorithm.ConfigurationMasks.empty())
        return 0x3FFF;
    const auto& masks = d.Algorithm.ConfigurationMasks;
    return masks[std::min<std::size_t>(static_cast<std::size_t>(address - d.ConfigurationWord.Address),
                                       masks.size() - 1)];
}

// Dumps the three areas and compares every word with what the image asks
// for: its word, the erased value where it has none, the chip's own word at
// the calibration address, the configuration words in their implemented bits.
void ExpectDumpMatchesImage(SimRig& rig, std::uint16_t factoryOsccal) {
    const device::TPicDevice& d = rig.device;
    for (const device::TMemoryRange area : {d.ProgramMemory, d.ConfigurationMemory, d.DataMemory}) {
        rig.host.Log.clear();
        rig.host.DumpAddress = Hex4(area.Address);
        rig.host.DumpSize = Hex4(area.Size);
        rig.ops.btnDumpClick();
        const Lines lines = rig.LogFrom(Hex4(area.Address) + " ");
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(area.Size)) << Hex4(area.Address);
        for (std::int32_t i = 0; i < area.Size; ++i) {
            const std::int32_t a = area.Address + i;
            const std::string& line = lines[static_cast<std::size_t>(i)];
            ASSERT_EQ(line.substr(0, 5), Hex4(a) + " ");
            const auto read = static_cast<std::uint16_t>(std::stoul(line.substr(5), nullptr, 16));
            const std::int16_t w = rig.image.GetWord(a);
            if (a == d.Algorithm.Calibration.Osccal) {
                EXPECT_EQ(read, factoryOsccal) << line;
            } else if (a == d.DeviceID.Address) {
                EXPECT_EQ(read, d.DeviceIDValue) << line;
            } else if (device::InRange(a, d.DataMemory)) {
                EXPECT_EQ(read, w >= 0 ? w : 0xFF) << line;
            } else if (w >= 0) {
                EXPECT_EQ(read & MaskAt(d, a), w & MaskAt(d, a)) << line;
            } else if (!device::InRange(a, d.ConfigurationWord) && a != 0x2004 && a != 0x2005) {
                EXPECT_EQ(read, 0x3FFF) << line;
            }
        }
    }
}

TEST(FamilyRun, EveryNewDeviceTakesItsProgramAndReadsItBack) {
    for (const char* name : kNewDevices) {
        SCOPED_TRACE(name);
        SimRig rig(ShippedDevice(name));
        ASSERT_GT(rig.device.ProgramMemory.Size, 0);
        const auto factoryOsccal = static_cast<std::uint16_t>(rig.chip->ReadWord(rig.device.ProgramMemory.Size - 1));
        SeedOldProgram(*rig.chip, rig.device);
        rig.host.HexPath = ProgramFor(name);
        rig.host.TickAllSteps();

        rig.ops.btnGoClick();

        ASSERT_EQ(rig.host.ImageCountRefreshes, 1) << "program file not loaded";
        ASSERT_GT(rig.image.CountWords(rig.device.ConfigurationWord), 0);
        ASSERT_GT(rig.image.CountWords(rig.device.DataMemory), 0);
        EXPECT_EQ(rig.host.Log.back(), "complete.");
        for (const auto& v : rig.chip->Violations())
            ADD_FAILURE() << v.What;
        EXPECT_FALSE(rig.chip->CalibrationLost());
        EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
        ExpectDumpMatchesImage(rig, factoryOsccal);
    }
}

// The one-word run (the sections with their algorithm keys stripped) must
// fail on every new family's chip: the simulator tells the algorithms apart.
TEST(FamilyRun, TheOneWordRunFailsOnEveryNewFamily) {
    for (const char* name : kNewDevices) {
        SCOPED_TRACE(name);
        device::TPicDevice d = ShippedDevice(name);
        const bool calibrated = d.Algorithm.Calibration.Any();
        d.Algorithm = {};
        SimRig rig(d);
        SeedOldProgram(*rig.chip, rig.device);
        rig.host.HexPath = ProgramFor(name);
        rig.host.TickAllSteps();
        rig.ops.btnGoClick();

        if (calibrated) {
            EXPECT_TRUE(rig.chip->CalibrationLost());
        } else {
            EXPECT_FALSE(rig.chip->Violations().empty());
            EXPECT_NE(rig.host.Log.back(), "complete.");
        }
    }
}

// All eight steps of a device over a few image words.
std::unique_ptr<SimRig> RunAllSteps(const char* name, std::initializer_list<std::pair<std::int32_t, std::int16_t>> words) {
    auto rig = std::make_unique<SimRig>(ShippedDevice(name));
    for (const auto& [address, word] : words)
        rig->image.SetWord(address, word);
    rig->host.TickAllSteps();
    rig->ops.btnGoClick();
    EXPECT_EQ(rig->host.Log.back(), "complete.");
    EXPECT_TRUE(rig->chip->Violations().empty());
    return rig;
}

// The commands and waits of every step, for a chip-erase family with the
// one-word configuration cycle and for one whose every cycle is ended by
// End Programming.
TEST(FamilyRun, EachStepSendsItsFamilysCommands) {
    using Waits = std::vector<std::int64_t>;
    const auto f877a = RunAllSteps("PIC16F877A", {{0x0000, 0x2805}, {0x2007, 0x3F72}, {0x2100, 0x11}});
    EXPECT_EQ(f877a->Commands(), Concat({{"RESET", "00:3FFF", "1F", "RESET", "03:3FFF", "0B", "08"},
                                         {"RESET", "02:2805", "18", "17", "04"},
                                         {"RESET", "00:0000"}, Times(7, "06"), {"02:3F72", "08", "04"},
                                         {"RESET", "03:0000", "03:0011", "08", "05"},
                                         {"RESET", "04", "RESET", "00:0000"}, Times(7, "06"), {"04", "RESET", "05"}}));
    EXPECT_EQ(f877a->host.Hooked.Waits, (Waits{100, 15, 100, 15, 100, 2, 100, 10, 100, 10, 100, 100, 100}));

    const auto f88 = RunAllSteps("PIC16F88", {{0x0000, 0x2805}, {0x2007, 0x3F70}, {0x2008, 0x3FFC}, {0x2100, 0x11}});
    EXPECT_EQ(f88->Commands(),
              Concat({{"RESET", "00:3FFF", "1F", "RESET", "03:3FFF", "0B", "08", "17"},
                      {"RESET", "02:2805", "18", "17", "04"},
                      {"RESET", "00:0000"}, Times(7, "06"), {"02:3F70", "18", "17", "04", "06", "02:3FFC", "18", "17", "04"},
                      {"RESET", "03:0000", "03:0011", "18", "17", "05"},
                      {"RESET", "04", "RESET", "00:0000"}, Times(7, "06"), {"04", "06", "04", "RESET", "05"}}));
    EXPECT_EQ(f88->host.Hooked.Waits, (Waits{100, 15, 100, 15, 100, 2, 100, 2, 2, 100, 8, 100, 100, 100}));

    // TDIS after every End Programming, before the next command.
    for (const SimRig* rig : {f877a.get(), f88.get()}) {
        const Lines commands = rig->Commands();
        const auto ends = std::count(commands.begin(), commands.end(), "17");
        EXPECT_EQ(rig->host.Hooked.WaitsUs, Waits(static_cast<std::size_t>(ends), 100));
    }
}

// The Bulk Erase Setup shape (the 16F8x erase of DS30262E, for sections that
// ask for it): the setup cycle in place of the bulk erase and its trigger.
TEST(FamilyRun, TheSetupEraseTakesThePlaceOfTheBulkErase) {
    device::TPicDevice d = ShippedDevice("PIC16F84A");
    d.Algorithm.Erase.Setup = true;
    d.Algorithm.Erase.Unprotect = false;
    SimRig rig(d);
    rig.host.TickOnly({StepBox::EraseProgram, StepBox::EraseDataMemory});
    rig.ops.btnGoClick();
    EXPECT_EQ(rig.Commands(), (Lines{"RESET", "02:3FFF", "01", "07", "08", "01", "07", "RESET", "03:3FFF", "01",
                                     "07", "08", "01", "07"}));
    EXPECT_EQ(rig.host.Hooked.Waits, (std::vector<std::int64_t>{100, 10, 100, 10}));
}

TEST(FamilyRun, CalibrationIsReadBeforeTheEraseAndWrittenBackAfterIt) {
    SimRig rig(ShippedDevice("PIC12F675"));
    rig.chip->SetFactoryCalibration(0x3420, 0x2000);
    SeedOldProgram(*rig.chip, rig.device);
    ASSERT_TRUE(rig.image.LoadFromFile(ProgramFor("PIC12F675")));
    ASSERT_EQ(rig.image.GetWord(0x03FF), 0x3480) << "the file's own stand-in";
    rig.host.TickOnly({StepBox::EraseProgram, StepBox::WriteProgram, StepBox::WriteConfigurationMemory,
                       StepBox::VerifyProgram, StepBox::VerifyConfigurationMemory});

    rig.ops.btnGoClick();

    EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<READ CALIBRATION> OSCCAL 3420 BG 2000", "<RESET>",
                                   "<BULK ERASE PROGRAM/CONFIG MEMORY>", "<RESET>", "<RESTORE CALIBRATION>",
                                   "<RESET>", "<LOAD PROGRAM MEMORY>", "<RESET>", "<LOAD CONFIGURATION DATA>",
                                   "<RESET>", "<VERIFY PROGRAM MEMORY>", "<RESET>",
                                   "<VERIFY CONFIGURATION MEMORY>", "complete."}));
    EXPECT_FALSE(rig.chip->CalibrationLost());
    EXPECT_EQ(rig.chip->ReadWord(0x03FF), 0x3420);
    // Configuration word: the file's bits, the chip's bandgap, bits 11:9 absent.
    EXPECT_EQ(rig.chip->ReadWord(0x2007), (rig.image.GetWord(0x2007) & 0x01FF) | 0x2000);
    const Lines commands = rig.Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "02:3480"), 0) << "the file's word at 0x3FF is never sent";
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "02:3420"), 1);
    ASSERT_EQ(rig.host.MaxHistory.size(), 4u);
    EXPECT_EQ(rig.host.MaxHistory[0], rig.image.CountWords(rig.device.ProgramMemory) - 1);
    EXPECT_EQ(rig.host.MaxHistory[2], rig.host.MaxHistory[0]);
    ASSERT_TRUE(rig.ops.KeptCalibration());
    EXPECT_EQ(*rig.ops.KeptCalibration(), (programmer::TKeptCalibration{0x3420, 0x2000}));

    // Without an erase the configuration write takes the bandgap bits from the chip.
    rig.host.Log.clear();
    rig.port->ClearCalls();
    rig.host.TickOnly({StepBox::WriteConfigurationMemory});
    rig.ops.btnGoClick();
    EXPECT_EQ(rig.host.Log.back(), "complete.");
    EXPECT_FALSE(rig.ops.KeptCalibration());
    EXPECT_FALSE(rig.chip->CalibrationLost());
    const Lines after = rig.Commands();
    ASSERT_GE(after.size(), 4u);
    const std::string merged = Hex4((rig.image.GetWord(0x2007) & 0x0FFF) | 0x2000);
    EXPECT_EQ(Lines(after.end() - 4, after.end()), (Lines{"04", "02:" + merged, "08", "04"}));
}

TEST(FamilyRun, StopNeverFallsBetweenTheEraseAndTheRestore) {
    { // pressed while the calibration is read: nothing erased
        SimRig rig(ShippedDevice("PIC12F629"));
        SeedOldProgram(*rig.chip, rig.device);
        rig.image.SetWord(0, 0x2805);
        rig.host.TickOnly({StepBox::EraseProgram, StepBox::WriteProgram});
        rig.host.OnPump = [&](int pump) {
            if (pump == 500)
                rig.host.Stop = true;
        };
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.host.Log, (Lines{"<RESET>"}));
        EXPECT_EQ(rig.chip->ReadWord(0x0010), 0x0000) << "not erased";
        EXPECT_FALSE(rig.chip->CalibrationLost());
        EXPECT_EQ(rig.host.LastStatus(), "Terminated by user.");
    }
    { // pressed while the calibration is written back: the restore runs to its end
        SimRig rig(ShippedDevice("PIC12F629"));
        rig.image.SetWord(0, 0x2805);
        rig.host.TickOnly({StepBox::EraseProgram, StepBox::WriteProgram});
        rig.host.OnPump = [&](int pump) {
            if (pump == 1023 + 500) // the read's increments, then half of the restore's
                rig.host.Stop = true;
        };
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.LogFrom("<RESTORE"), (Lines{"<RESTORE CALIBRATION>"}));
        EXPECT_FALSE(rig.chip->CalibrationLost());
        EXPECT_EQ(rig.chip->ReadWord(0), 0x3FFF) << "erased, and the run ended before the write";
        EXPECT_EQ(rig.host.LastStatus(), "Terminated by user.");
    }
}

TEST(FamilyRun, ADeviceChosenWhileTheCalibrationIsReadDoesNotLoseIt) {
    SimRig rig(ShippedDevice("PIC12F629"));
    rig.image.SetWord(0, 0x2805);
    rig.host.TickOnly({StepBox::EraseProgram, StepBox::WriteProgram});
    rig.host.OnPump = [&](int pump) {
        if (pump == 100) // the window's device list changes while the read walks to 0x3FF
            rig.device = Pic16F628A();
    };
    rig.ops.btnGoClick();
    EXPECT_EQ(rig.LogFrom("<READ"), (Lines{"<READ CALIBRATION> OSCCAL 3454 BG 1000", "<RESET>",
                                           "<BULK ERASE PROGRAM/CONFIG MEMORY>", "<RESET>", "<RESTORE CALIBRATION>",
                                           "<RESET>", "<LOAD PROGRAM MEMORY>", "complete."}));
    EXPECT_FALSE(rig.chip->CalibrationLost());
}

// Reads the chip's answers through, but turns the data bit of one status
// query around: a word read twice comes back different once.
class FlakyLine : public serial::LinePeer {
public:
    FlakyLine(std::shared_ptr<simulator::SimChip> chip, int flipAt) : chip_(std::move(chip)), flipAt_(flipAt) {}
    void OnEscape(std::uint32_t function) override { chip_->OnEscape(function); }
    void OnBreak(bool on) override { chip_->OnBreak(on); }
    std::uint32_t ModemStatus() override {
        const std::uint32_t status = chip_->ModemStatus();
        return ++queries_ == flipAt_ ? status ^ serial::win::MS_CTS_ON : status;
    }

private:
    std::shared_ptr<simulator::SimChip> chip_;
    int flipAt_;
    int queries_ = 0;
};

TEST(FamilyRun, ACalibrationThatReadsDifferentlyTwiceIsNotErased) {
    SimRig rig(ShippedDevice("PIC16F676"));
    SeedOldProgram(*rig.chip, rig.device);
    rig.port->SetPeer(std::make_shared<FlakyLine>(rig.chip, 16 + 3)); // bit 1 of the second OSCCAL read
    rig.image.SetWord(0, 0x2805);
    rig.host.TickOnly({StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram});

    rig.ops.btnGoClick();

    EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<READ CALIBRATION> OSCCAL 3454 BG 1000",
                                   "Read Error at [03FF]: 3454 -> 3456 NG", "<RESET>", "<BULK ERASE DATA MEMORY>",
                                   "<RESET>", "<LOAD PROGRAM MEMORY>", "Write Error at [0000]: 2805 -> 0000 NG",
                                   "2 errors."}));
    EXPECT_FALSE(rig.chip->CalibrationLost());
    EXPECT_FALSE(rig.ops.KeptCalibration());
}

TEST(FamilyRun, SixteenF84AEraseClearsWhatTheImageDoesNotWrite) {
    for (const bool withKeys : {true, false}) {
        SCOPED_TRACE(withKeys ? "section as shipped" : "one-word erase");
        device::TPicDevice d = ShippedDevice("PIC16F84A");
        if (!withKeys)
            d.Algorithm = {};
        SimRig rig(d);
        SeedOldProgram(*rig.chip, rig.device);
        rig.chip->WriteWord(0x2007, 0x3FF1); // CP off
        rig.image.SetWord(0x0000, 0x2805);
        rig.image.SetWord(0x2100, 0x42);
        rig.host.TickOnly({StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram,
                           StepBox::WriteDataMemory});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.host.Log.back(), "complete.");
        EXPECT_EQ(rig.chip->ReadWord(0x0000), 0x2805);
        EXPECT_EQ(rig.chip->ReadWord(0x2100), 0x42);
        const std::uint16_t old = withKeys ? 0x3FFF : 0x0000;
        EXPECT_EQ(rig.chip->ReadWord(0x0001), old);
        EXPECT_EQ(rig.chip->ReadWord(0x03FF), old);
        EXPECT_EQ(rig.chip->ReadWord(0x2101), withKeys ? 0xFF : 0x00);
        EXPECT_EQ(rig.chip->ReadWord(0x2007), withKeys ? 0x3FFF : 0x3FF1)
            << "the code-protect disable clears the configuration word; a bulk erase from program space keeps it";
        EXPECT_TRUE(rig.chip->Violations().empty());
    }
}

} // namespace
} // namespace vandrel::test

namespace vandrel::test {
namespace {

// The wave-2 families: two devices each take a program, keep their factory
// calibration words, send no data command where there is no EEPROM, and
// another family's algorithm fails on their chip.
TEST(FamilyRun, WaveTwoFamiliesProgramTheirChipsAndRefuseAnotherFamilysAlgorithm) {
    struct Case {
        const char* device;
        const char* otherAlgorithm;
    };
    for (const Case& c : {Case{"PIC12F683", "PIC16F73"}, Case{"PIC16F887", "PIC16F716"},
                          Case{"PIC12F615", "PIC12F683"}, Case{"PIC16F616", "PIC16F73"},
                          Case{"PIC16F73", "PIC16F716"}, Case{"PIC16F767", "PIC12F609"},
                          Case{"PIC16F716", "PIC16F73"}, Case{"PIC16F877", "PIC16F887"},
                          Case{"PIC16F870", "PIC12F683"}}) {
        SCOPED_TRACE(c.device);
        const device::TPicDevice d = ShippedDevice(c.device);
        const auto words = {std::pair<std::int32_t, std::int16_t>{0x0000, 0x2805}, {0x0001, 0x0123}, {0x2000, 0x0001},
                            {d.ConfigurationWord.Address, 0x3FF4}};
        {
            SimRig rig(d);
            SeedOldProgram(*rig.chip, rig.device);
            for (const auto& [address, word] : words)
                rig.image.SetWord(address, word);
            if (d.DataMemory.Size > 0)
                rig.image.SetWord(d.DataMemory.Address, 0x42);
            rig.host.TickAllSteps();
            rig.ops.btnGoClick();
            EXPECT_EQ(rig.host.Log.back(), "complete.");
            for (const auto& v : rig.chip->Violations())
                ADD_FAILURE() << v.What;
            EXPECT_FALSE(rig.chip->CalibrationLost());
            EXPECT_EQ(rig.chip->ReadWord(0x0001), 0x0123);
            EXPECT_EQ(rig.chip->ReadWord(0x0002), 0x3FFF);
            const Lines commands = rig.Commands();
            const bool noData = d.DataMemory.Size == 0;
            const auto sent = [&](const std::string& code) {
                return std::any_of(commands.begin(), commands.end(),
                                   [&](const std::string& line) { return line.rfind(code, 0) == 0; });
            };
            EXPECT_EQ(sent("05"), !noData);
            if (noData) {
                EXPECT_FALSE(sent("0B") || sent("03"));
            }
            EXPECT_EQ(std::count(rig.host.Log.begin(), rig.host.Log.end(),
                                 "No data EEPROM on this device: the data steps were skipped."),
                      noData ? 1 : 0);
        }
        device::TPicDevice wrong = d;
        wrong.Algorithm = ShippedDevice(c.otherAlgorithm).Algorithm;
        SimRig rig(wrong);
        SeedOldProgram(*rig.chip, rig.device);
        for (const auto& [address, word] : words)
            rig.image.SetWord(address, word);
        rig.host.TickAllSteps();
        rig.ops.btnGoClick();
        EXPECT_FALSE(rig.chip->Violations().empty() && rig.host.Log.back() == "complete.")
            << c.otherAlgorithm << "'s algorithm passed";
    }
}

} // namespace
} // namespace vandrel::test

namespace vandrel::test {
namespace {

// Every family's algorithm against every other family's chip: the device
// section of the chip with the algorithm keys of the other family. A run
// fails as it would on silicon: a timing or command violation, an error
// line, a lost calibration word, or a word that does not read back as the
// image asks (old words left where the erase should have cleared them).
// Two swaps work on silicon too, and must: the 12F609 writes (0x18 ... 0x0A,
// 4 ms) are the 12F683's own second way (DS41204G: TPROG2 has no maximum,
// where the 16F88x's is 2.5 ms), and the 16F87x code-protect disable on the
// configuration word erases a 16F628 whole (DS30034D 3.3).
TEST(FamilyRun, WaveTwoChipsUnderEveryOtherFamilysAlgorithm) {
    struct Chip {
        const char* device;
        int family;
    };
    const Chip chips[] = {{"PIC12F683", 6}, {"PIC16F887", 6}, {"PIC12F615", 7}, {"PIC16F73", 8},
                          {"PIC16F716", 9}, {"PIC16F877", 10}, {"PIC16F628", 1}};
    int swaps = 0;
    std::vector<std::string> passed;
    for (const Chip& chip : chips) {
        for (const Chip& other : chips) {
            if (chip.family == other.family)
                continue;
            ++swaps;
            device::TPicDevice d = ShippedDevice(chip.device);
            d.Algorithm = ShippedDevice(other.device).Algorithm;
            SimRig rig(d);
            SeedOldProgram(*rig.chip, rig.device);
            rig.image.SetWord(0x0000, 0x2805);
            rig.image.SetWord(0x0001, 0x0123);
            rig.image.SetWord(0x2000, 0x0001);
            rig.image.SetWord(0x2007, 0x3FF4);
            if (d.DataMemory.Size > 0)
                rig.image.SetWord(0x2100, 0x42);
            rig.host.TickAllSteps();
            rig.ops.btnGoClick();
            const bool failed = !rig.chip->Violations().empty() || rig.host.Log.back() != "complete." ||
                                rig.chip->CalibrationLost() || rig.chip->ReadWord(0x0001) != 0x0123 ||
                                rig.chip->ReadWord(0x0002) != 0x3FFF ||
                                (d.DataMemory.Size > 0 && rig.chip->ReadWord(0x2101) != 0xFF);
            if (!failed)
                passed.push_back(std::string(other.device) + " on " + chip.device);
        }
    }
    EXPECT_EQ(swaps, 40);
    EXPECT_EQ(passed, (std::vector<std::string>{"PIC12F615 on PIC12F683", "PIC16F877 on PIC16F628"}));
}

} // namespace
} // namespace vandrel::test
