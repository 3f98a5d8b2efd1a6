// Images whose configuration word protects the chip, one device of each
// family, against simulated chips that protect as their silicon does: the
// run writes the protecting word last, a verify says what it cannot read,
// and the family's erase clears the protection for the next program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "common/convert.h"
#include "programmer/sim_rig.h"

namespace vandrel::test {
namespace {

using programmer::StepBox;
using Lines = std::vector<std::string>;

const char* const kFamilies[] = {"PIC16F84A", "PIC16F628A", "PIC12F675", "PIC16F877A", "PIC16F88", "PIC16F819"};

const char* const kMoved = "Configuration word protects the chip: written last, after the verify.";
const char* const kCodeLine = "Program memory is code-protected: it reads as 0000 and cannot be verified.";
const char* const kDataLine = "Data EEPROM is protected: it reads as 0000 and cannot be verified.";

// tests/data/programs/pic<chip>.hex, or its -D PROTECTED build pic<chip>-cp.hex.
std::string ProgramFor(const std::string& device, bool protectedBuild) {
    std::string chip = device;
    std::transform(chip.begin(), chip.end(), chip.begin(), [](unsigned char c) { return std::tolower(c); });
    return VANDREL_SOURCE_DIR "/tests/data/programs/" + chip + (protectedBuild ? "-cp" : "") + ".hex";
}

// The run's lines but the resets, the calibration steps and word errors.
Lines Steps(const Lines& log) {
    Lines steps;
    for (const std::string& line : log)
        if (line != "<RESET>" && line.find("CALIBRATION>") == std::string::npos &&
            line.find(" Error at [") == std::string::npos)
            steps.push_back(line);
    return steps;
}

// The chip's own memories hold every word of the image: program words (not
// the calibration word), data cells, the configuration words in their
// compared bits.
void ExpectChipHolds(const SimRig& rig) {
    const device::TPicDevice& d = rig.device;
    for (const device::TMemoryRange area : {d.ProgramMemory, d.ConfigurationMemory, d.DataMemory})
        for (std::int32_t a = area.Address; a < area.Address + area.Size; ++a) {
            const std::int16_t w = rig.image.GetWord(a);
            if (w < 0 || a == d.Algorithm.Calibration.Osccal || a == d.DeviceID.Address)
                continue;
            const std::uint16_t bits = device::ComparedBits(d, a) & 0x3FFF;
            EXPECT_EQ(rig.chip->ReadWord(a) & bits, w & bits) << Hex4(a);
        }
}

void Program(SimRig& rig, const std::string& hex) {
    rig.host.Log.clear();
    ASSERT_TRUE(rig.image.LoadFromFile(hex)) << hex;
    rig.host.TickAllSteps();
    rig.ops.btnGoClick();
}

TEST(ProtectedRun, EachFamilyWritesTheProtectingWordLastAndItsEraseClearsIt) {
    for (const char* name : kFamilies) {
        SCOPED_TRACE(name);
        SimRig rig(ShippedDevice(name));
        const std::string locked = ProgramFor(name, true);
        Program(rig, locked);
        const std::uint16_t word = static_cast<std::uint16_t>(rig.image.GetWord(rig.device.ConfigurationWord.Address));
        ASSERT_TRUE(rig.device.Algorithm.Protection.ProtectsCode(word)) << Hex4(word);

        EXPECT_EQ(Steps(rig.host.Log),
                  (Lines{"<BULK ERASE PROGRAM/CONFIG MEMORY>", "<BULK ERASE DATA MEMORY>", "<LOAD PROGRAM MEMORY>",
                         "<LOAD EEPROM DATA>", "<VERIFY PROGRAM MEMORY>", "<VERIFY EEPROM DATA>", kMoved,
                         "<LOAD CONFIGURATION DATA>", "<VERIFY CONFIGURATION MEMORY>", "complete."}));
        for (const auto& v : rig.chip->Violations())
            ADD_FAILURE() << v.What;
        ExpectChipHolds(rig);
        const auto held = static_cast<std::uint16_t>(rig.chip->ReadWord(rig.device.ConfigurationWord.Address));
        EXPECT_TRUE(rig.device.Algorithm.Protection.ProtectsCode(held) &&
                    rig.device.Algorithm.Protection.ProtectsData(held))
            << Hex4(held);

        // What a user now sees: zeros. (Hex4, not a literal: GCC 12 at -O3
        // warns falsely about a string assigned from a short literal here.)
        rig.host.Log.clear();
        rig.host.DumpAddress = Hex4(1);
        rig.host.DumpSize = Hex4(1);
        rig.ops.btnDumpClick();
        EXPECT_EQ(rig.host.Log.back(), "0001 0000");

        // A verify alone says once per area what it cannot read (the
        // configuration last, as in the run; nothing is written, nothing said).
        rig.host.Log.clear();
        rig.host.TickOnly({StepBox::VerifyProgram, StepBox::VerifyConfigurationMemory, StepBox::VerifyDataMemory});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<VERIFY PROGRAM MEMORY>", kCodeLine, "<RESET>", "<VERIFY EEPROM DATA>",
                                       kDataLine, "<RESET>", "<VERIFY CONFIGURATION MEMORY>", "2 errors."}));

        // Another image, erase included: the protection is gone.
        Program(rig, ProgramFor(name, false));
        EXPECT_EQ(rig.host.Log.back(), "complete.");
        EXPECT_EQ(std::count(rig.host.Log.begin(), rig.host.Log.end(), kMoved), 0);
        for (const auto& v : rig.chip->Violations())
            ADD_FAILURE() << v.What;
        ExpectChipHolds(rig);
        EXPECT_FALSE(rig.chip->CalibrationLost());
    }
}

// The same images in the order of an unprotected run (configuration before
// the EEPROM and the verify) fail as on a real chip: the verify reads zeros
// and the EEPROM stays unwritten.
TEST(ProtectedRun, TheUsualOrderFailsOnAProtectingChip) {
    for (const char* name : kFamilies) {
        SCOPED_TRACE(name);
        device::TPicDevice d = ShippedDevice(name);
        d.Algorithm.Protection = {};
        SimRig rig(d);
        Program(rig, ProgramFor(name, true));
        EXPECT_NE(rig.host.Log.back(), "complete.");
        EXPECT_NE(std::find(rig.host.Log.begin(), rig.host.Log.end(), "Verify Error at [0000]: 2805 -> 0000 NG"),
                  rig.host.Log.end());
        EXPECT_NE(rig.chip->ReadWord(0x2100), rig.image.GetWord(0x2100)) << "the EEPROM was locked before its write";
    }
}

// DS41196G: 0x08 only clears bits, so user IDs written before stay unless
// the erase takes them; only an erase from the configuration area does. The
// erase as first described (0x09 at PC 0) leaves the first image's IDs.
TEST(ProtectedRun, The62xAEraseTakesTheUserIdsAlong) {
    for (const bool mended : {true, false}) {
        SCOPED_TRACE(mended ? "erase as shipped" : "bare 0x09 at PC 0");
        device::TPicDevice d = ShippedDevice("PIC16F628A");
        if (!mended) {
            d.Algorithm.Erase.LoadConfiguration = false;
            d.Algorithm.Erase.PreloadProgram = false;
        }
        SimRig rig(d);
        Program(rig, ProgramFor("PIC16F628A", true)); // IDs 1 2 3 4
        ASSERT_EQ(rig.host.Log.back(), "complete.");
        Program(rig, ProgramFor("PIC16F628A", false)); // IDs 6 2 8 1
        if (mended) {
            EXPECT_EQ(rig.host.Log.back(), "complete.");
            EXPECT_EQ(rig.chip->ReadWord(0x2000), 0x0006);
        } else {
            EXPECT_EQ(rig.LogFrom("<LOAD CONFIGURATION DATA>")[1], "Write Error at [2000]: 0006 -> 0000 NG");
            EXPECT_EQ(rig.host.Log.back(), "6 errors.") << "three IDs, each written and verified";
        }
        EXPECT_TRUE(rig.chip->Violations().empty());
    }
}

} // namespace
} // namespace vandrel::test
