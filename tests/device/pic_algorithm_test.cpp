// The optional algorithm keys of a device section.
#include <gtest/gtest.h>

#include <string>

#include "device/pic_device.h"

namespace vandrel::device {
namespace {

const char* const kBase = "[Chip]\nProgramMemory.Address=0\nProgramMemory.Size=1024\n"
                          "ConfigurationWord.Address=0x2007\nConfigurationWord.Size=1\n";

TAlgorithm Read(const std::string& keys) { return GetDeviceSpecFromText(kBase + keys, "Chip").Algorithm; }

TEST(AlgorithmKeys, NoKeysGiveTheOneWordRunAndAnEqualRecord) {
    const TPicDevice plain = GetDeviceSpecFromText(kBase, "Chip");
    EXPECT_TRUE(plain.Algorithm.IsOneWord());
    EXPECT_EQ(plain.Algorithm.Erase.ProgramCommand, 0x09);
    EXPECT_EQ(plain.Algorithm.Program.Begin, 0x08);
    EXPECT_FALSE(plain.Algorithm.Program.End);
    EXPECT_FALSE(plain.Algorithm.Program.Wait);
    // Keys the reader does not know change nothing either.
    EXPECT_EQ(GetDeviceSpecFromText(std::string(kBase) + "Erase.Bogus=1\nProgramMemory.Speed=3\n", "Chip"), plain);
}

TEST(AlgorithmKeys, EveryKeyLandsInItsOwnField) {
    const TAlgorithm a = Read("Erase.Program=0x1F\nerase.loadconfiguration=1\nErase.Preload=$1\n"
                             "Erase.Trigger=24\nErase.End=0x17\n"
                             "ProgramMemory.Begin=0x18\nProgramMemory.End=0x17\nProgramMemory.Wait=2\n"
                             "ConfigurationMemory.Begin=0x08\nConfigurationMemory.End=0x0A\nConfigurationMemory.Wait=0\n"
                             "DataMemory.Begin=0x18\nDataMemory.End=0x0E\nDataMemory.Wait=7\nDataMemory.MaxPulse=3000\n"
                             "Calibration.OSCCAL=0x3FF\nCalibration.BG=0x3000\nConfigurationWord.Mask=0x01FF\n");
    EXPECT_EQ(a.Erase.ProgramCommand, 0x1F);
    EXPECT_TRUE(a.Erase.LoadConfiguration);
    EXPECT_TRUE(a.Erase.PreloadProgram && a.Erase.PreloadData);
    EXPECT_EQ(a.Erase.Trigger, 0x18);
    EXPECT_EQ(a.Erase.End, 0x17);
    EXPECT_EQ(a.Program, (TWriteCycle{0x18, 0x17, 2, std::nullopt}));
    EXPECT_EQ(a.Configuration, (TWriteCycle{0x08, 0x0A, 0, std::nullopt}));
    EXPECT_EQ(a.Data, (TWriteCycle{0x18, 0x0E, 7, 3000}));
    EXPECT_EQ(a.Calibration.Osccal, 0x03FF);
    EXPECT_EQ(a.Calibration.BandgapMask, 0x3000);
    EXPECT_EQ(a.ConfigurationMasks, (std::vector<std::uint16_t>{0x01FF}));
    EXPECT_FALSE(a.IsOneWord());
}

TEST(AlgorithmKeys, ValuesOutsideTheirListCountAsMissing) {
    // A wrong code must never reach the chip: a bulk erase as "Begin", say,
    // would erase the chip at every word.
    const TAlgorithm a = Read("Erase.Program=0x09 ; chip erase\nErase.Program=0x1F\n"
                             "Erase.Trigger=0x09\nErase.End=0x08\nErase.Preload=2\nErase.LoadConfiguration=yes\n"
                             "ProgramMemory.Begin=0x09\nProgramMemory.End=0x18\nProgramMemory.Wait=-5\n"
                             "DataMemory.Wait=5 ms\nConfigurationMemory.Begin=0x58\n"
                             "ProgramMemory.MaxPulse=1000\nDataMemory.MaxPulse=-3\n");
    EXPECT_TRUE(a.IsOneWord()) << "first key counts; its trailing comment makes it no number; a pulse maximum "
                                  "only with an End Programming";
    EXPECT_EQ(Read("Erase.Program=0x0B\n").Erase.ProgramCommand, 0x09);
}

TEST(AlgorithmKeys, ProtectionAndTheNewEraseKeys) {
    struct Case {
        const char* keys;
        TProtection protection;
        bool preloadProgram, preloadData, setup, unprotect;
    };
    for (const Case& c : {
             Case{"Protection.CP=0x2000\nProtection.CPD=0x0100\n", {0x2000, 0x0100, 0}, false, false, false, false},
             Case{"Protection.CP=0x3FF0\nProtection.CPD=0x3FF0\nProtection.Active=1\n", {0x3FF0, 0x3FF0, 1},
                  false, false, false, false},
             Case{"Protection.CP=0x4000\nProtection.CPD=0\nProtection.Active=1\n", {}, false, false, false, false},
             Case{"Erase.Preload=0x09\nErase.Setup=1\n", {}, true, false, true, false},
             Case{"Erase.Preload=1\nErase.Unprotect=1\n", {}, true, true, false, true},
             Case{"Erase.Preload=0x0B\nErase.Setup=2\nErase.Unprotect=0x09\n", {}, false, false, false, false},
         }) {
        SCOPED_TRACE(c.keys);
        const TAlgorithm a = Read(c.keys);
        EXPECT_EQ(a.Protection, c.protection);
        EXPECT_EQ(a.Erase.PreloadProgram, c.preloadProgram);
        EXPECT_EQ(a.Erase.PreloadData, c.preloadData);
        EXPECT_EQ(a.Erase.Setup, c.setup);
        EXPECT_EQ(a.Erase.Unprotect, c.unprotect);
    }
    // Protection bits need a configuration word.
    const TPicDevice none = GetDeviceSpecFromText(
        "[Chip]\nProgramMemory.Address=0\nProgramMemory.Size=1024\nProtection.CP=0x2000\n", "Chip");
    EXPECT_FALSE(none.Algorithm.Protection.Any());

    // All bits at the active value protect; the 16F84A's ten only together.
    const TProtection f84{0x3FF0, 0x3FF0, 0};
    EXPECT_TRUE(f84.ProtectsCode(0x000F));
    EXPECT_FALSE(f84.ProtectsCode(0x3F70));
    const TProtection high{0x0100, 0, 1};
    EXPECT_TRUE(high.ProtectsCode(0x0100));
    EXPECT_FALSE(high.ProtectsCode(0x3EFF));
    EXPECT_FALSE(high.ProtectsData(0x0000)) << "no CPD bits: nothing protects the data";
}

TEST(AlgorithmKeys, CalibrationOutsideTheChipIsDropped) {
    EXPECT_FALSE(Read("Calibration.OSCCAL=0x0400\n").Calibration.Osccal) << "past the program memory";
    EXPECT_FALSE(Read("Calibration.OSCCAL=-1\n").Calibration.Osccal);
    EXPECT_EQ(Read("Calibration.OSCCAL=0\n").Calibration.Osccal, 0);
    EXPECT_EQ(Read("Calibration.BG=0x4000\n").Calibration.BandgapMask, 0);
    EXPECT_EQ(Read("Calibration.BG=0\n").Calibration.BandgapMask, 0);
    // Bandgap bits need a configuration word to live in.
    const auto noWord = GetDeviceSpecFromText("[C]\nProgramMemory.Size=64\nCalibration.BG=0x3000\n", "C");
    EXPECT_FALSE(noWord.Algorithm.Calibration.Any());
}

TEST(AlgorithmKeys, MaskListIsAllOrNothing) {
    EXPECT_EQ(Read("ConfigurationWord.Mask=0x3FFF, 0x0003\n").ConfigurationMasks,
              (std::vector<std::uint16_t>{0x3FFF, 0x0003}));
    EXPECT_EQ(Read("ConfigurationWord.Mask=$FFFF,1,2\n").ConfigurationMasks,
              (std::vector<std::uint16_t>{0xFFFF, 1, 2}));
    for (const char* bad : {"0x3FFF,", ",1", "0x3FFF,zz", "0x10000", "-1", "", "0x3FFF;1"})
        EXPECT_TRUE(Read(std::string("ConfigurationWord.Mask=") + bad + "\n").ConfigurationMasks.empty()) << bad;
}

} // namespace
} // namespace vandrel::device

namespace vandrel::device {
namespace {

TEST(MaximumKeys, MicrosecondsFromOneToTenSecondsElseMissing) {
    const TMaxima m = GetDeviceSpecFromText(std::string(kBase) +
                                                "maximum.program=2500\nMaximum.Configuration=$FA0\n"
                                                "Maximum.Data=0\nMaximum.Erase=10000001\nMaximum.ChipErase=8 ms\n"
                                                "Maximum.Unprotect=10000000\n",
                                            "Chip")
                          .Maxima;
    EXPECT_EQ(m, (TMaxima{2500, 4000, std::nullopt, std::nullopt, std::nullopt, 10'000'000}));
    EXPECT_TRUE(GetDeviceSpecFromText(std::string(kBase) + "Maximum.Program=2500\n", "Chip").Algorithm.IsOneWord())
        << "the maxima are no algorithm key";
}

// A fast run needs the maximum of every cycle the device's run has: the
// erases its keys name, the areas it has.
TEST(MaximumKeys, TheMissingOneIsTheFirstCycleTheRunWouldTimeWithout) {
    const auto missing = [](const std::string& keys) {
        const auto use = MissingMaximum(GetDeviceSpecFromText(
            std::string(kBase) + "ConfigurationMemory.Address=0x2000\nConfigurationMemory.Size=8\n" + keys, "Chip"));
        return use ? std::string(use->Key) : std::string("none");
    };
    const std::string areas = "Maximum.Program=1\nMaximum.Configuration=1\n";
    EXPECT_EQ(missing(areas), "Maximum.Erase");
    EXPECT_EQ(missing(areas + "Maximum.Erase=1\n"), "none") << "no data EEPROM: no data cycle";
    EXPECT_EQ(missing(areas + "Maximum.Erase=1\nDataMemory.Address=0x2100\nDataMemory.Size=64\n"), "Maximum.Data");
    EXPECT_EQ(missing(areas + "Erase.Program=0x1F\n"), "Maximum.ChipErase")
        << "a chip erase without data needs no bulk erase";
    EXPECT_EQ(missing(areas + "Erase.Program=0x1F\nMaximum.ChipErase=1\n"), "none");
    EXPECT_EQ(missing(areas + "Maximum.Erase=1\nErase.Unprotect=1\n"), "Maximum.Unprotect");
}

// Every shipped section has the maxima its run needs, each at most the
// described wait of its cycle, so that a described run also keeps to them.
TEST(MaximumKeys, EveryShippedDeviceHasItsMaximaWithinItsDescribedWaits) {
    SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
    const std::vector<TPicDevice> devices = GetAllDevices();
    SetDeviceSpecPathOverride("");
    ASSERT_EQ(devices.size(), 65u);
    for (const TPicDevice& d : devices) {
        SCOPED_TRACE(d.Name);
        EXPECT_FALSE(MissingMaximum(d));
        const TMaxima& m = d.Maxima;
        const TAlgorithm& a = d.Algorithm;
        EXPECT_LE(m.Program.value_or(0), a.Program.Wait.value_or(d.Tprog) * 1000);
        EXPECT_LE(m.Configuration.value_or(0), a.Configuration.Wait.value_or(d.Tprog) * 1000);
        EXPECT_LE(m.Data.value_or(0), a.Data.Wait.value_or(d.Tdprog) * 1000);
        for (const auto& erase : {m.Erase, m.ChipErase, m.Unprotect})
            EXPECT_LE(erase.value_or(0), d.Tera * 1000);
    }
}

} // namespace
} // namespace vandrel::device
