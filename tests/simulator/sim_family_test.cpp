// The simulated chip as each family's silicon: driven through the link on
// virtual time, command by command.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "common/convert.h"
#include "programmer/farm_link.h"
#include "simulator/sim_programmer.h"
#include "support/modem_lines_fake.h"
#include "support/test_devices.h"

namespace vandrel::simulator {
namespace {

using namespace vandrel::programmer;
constexpr int kEndProgrammingShort = 0x0A;
constexpr int kEndProgrammingOld = 0x0E; // the 16F7x and 16F716

// Shapes with the real device IDs; the waits of the record do not matter to
// these families (they keep their own times).
device::TPicDevice F84A() { return test::MidrangeDevice({"F84A", 1024, 64, 0x0560, 10, 10, 10}); }
device::TPicDevice F675() { return test::MidrangeDevice({"F675", 1024, 128, 0x0FC0, 99, 99, 99}); }
device::TPicDevice F877A() { return test::MidrangeDevice({"F877A", 8192, 256, 0x0E20, 99, 99, 99}); }
device::TPicDevice F88() {
    auto d = test::MidrangeDevice({"F88", 4096, 256, 0x0760, 99, 99, 99});
    d.ConfigurationMemory.Size = 9;
    d.ConfigurationWord.Size = 2;
    return d;
}
device::TPicDevice F819() { return test::MidrangeDevice({"F819", 2048, 256, 0x04E0, 99, 99, 99}); }

class Chip {
public:
    explicit Chip(const device::TPicDevice& d) : chip(std::make_shared<SimChip>(d, clock)), lines(chip), link(lines, clock) {
        link.FarmReset();
    }
    // An End Programming is followed by TDIS, as the run does (100 us).
    void Send(int command, std::int16_t data = -1) {
        link.FarmWrite(command, data);
        if (command == kEndProgramming || command == kEndProgrammingShort || command == kEndProgrammingOld)
            link.WaitUs(device::kTdisUs);
    }
    std::uint16_t Read(int command = kReadDataFromProgramMemory) { return link.FarmRead(command); }
    void Increment(int times) {
        for (int i = 0; i < times; ++i)
            Send(kIncrementAddress);
    }
    void Wait(std::int64_t ms) { clock.WaitMs(ms); }
    std::size_t Violations() const { return chip->Violations().size(); }
    std::string LastViolation() const { return chip->Violations().empty() ? "" : chip->Violations().back().What; }

    VirtualClock clock;
    std::shared_ptr<SimChip> chip;
    test::PeerModemLines lines;
    TFarmLink link;
};

TEST(SimFamilies, EveryShippedDeviceAnswersItsIdAsItsSilicon) {
    device::SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
    std::vector<std::string> names;
    device::GetDeviceList(names);
    const std::map<std::string, std::string> family = {
        {"PIC16F84A", "16F84A"},       {"PIC16F627A", "16F62xA"},     {"PIC16F628A", "16F62xA"},
        {"PIC16F648A", "16F62xA"},    {"PIC12F629", "12F629"},       {"PIC12F675", "12F629"},
        {"PIC16F630", "12F629"},       {"PIC16F676", "12F629"},       {"PIC16F873A", "16F87xA"},
        {"PIC16F874A", "16F87xA"},     {"PIC16F876A", "16F87xA"},     {"PIC16F877A", "16F87xA"},
        {"PIC16F87", "16F87/88"},      {"PIC16F88", "16F87/88"},      {"PIC16F818", "16F818/819"},
        {"PIC16F819", "16F818/819"}};
    for (const auto& [name, kind] : family)
        ASSERT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    for (const auto& name : names) {
        device::TPicDevice d = device::GetDeviceSpec(name);
        if (d.DeviceIDValue < 0)
            continue; // no device ID (16F83/84 non-A)
        d.Algorithm = {}; // the chip must not need them
        Chip c(d);
        c.Send(kLoadConfiguration, 0);
        c.Increment(6);
        EXPECT_EQ(c.Read(), d.DeviceIDValue) << name;
        const auto kind = family.find(name);
        if (kind != family.end()) {
            EXPECT_EQ(c.chip->FamilyName(), kind->second) << name;
        }
    }
    device::SetDeviceSpecPathOverride("");
}

TEST(SimFamilies, SixteenF84ABulkEraseWaitsForBeginProgramming) {
    Chip c(F84A());
    c.chip->WriteWord(0x0005, 0x0000);
    c.chip->WriteWord(0x2000, 0x0000);
    c.chip->WriteWord(0x2110, 0x00);

    c.Send(kBulkEraseProgramMemory); // alone: nothing happens, however long
    c.Wait(50);
    c.Send(kBulkEraseDataMemory);
    c.Wait(50);
    c.link.FarmReset();
    EXPECT_EQ(c.chip->ReadWord(0x0005), 0x0000);
    EXPECT_EQ(c.chip->ReadWord(0x2110), 0x00);

    c.Send(kBulkEraseProgramMemory); // anything in between disarms it: 0x08 then writes the latch
    c.Send(kIncrementAddress);
    c.Send(kLoadDataForProgramMemory, 0x0ABC);
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(10);
    EXPECT_EQ(c.Read(), 0x0ABC);
    EXPECT_EQ(c.chip->ReadWord(0x0005), 0x0000);

    c.Send(kLoadDataForProgramMemory, 0x3FFF);
    c.Send(kBulkEraseProgramMemory);
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(10);
    c.Send(kLoadDataForDataMemory, 0x3FFF);
    c.Send(kBulkEraseDataMemory);
    c.Send(kBeginProgrammingOnly); // either Begin Programming triggers it
    c.Wait(10);
    c.link.FarmReset();
    EXPECT_EQ(c.chip->ReadWord(0x0005), 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(0x0001), 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(0x2110), 0xFF);
    EXPECT_EQ(c.chip->ReadWord(0x2000), 0x0000) << "from program space the configuration stays";

    c.Send(kLoadConfiguration, 0x3FFF);
    c.Send(kBulkEraseProgramMemory);
    c.Send(kBeginEraseProgrammingCycle);
    c.Send(kIncrementAddress); // too early
    EXPECT_EQ(c.Violations(), 1u);
    EXPECT_EQ(c.chip->ReadWord(0x2000), 0x0000) << "an erase cut short leaves the memory";
    c.Send(kBulkEraseProgramMemory);
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(10);
    c.link.FarmReset();
    EXPECT_EQ(c.chip->ReadWord(0x2000), 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(0x2006), 0x0560);
    EXPECT_EQ(c.chip->RequiredMs(), 4 * 10 + 10);
}

TEST(SimFamilies, CalibratedChipLosesItsFactoryWordsToABulkErase) {
    Chip c(F675());
    EXPECT_EQ(c.chip->ReadWord(0x03FF), 0x3454);
    EXPECT_EQ(c.chip->ReadWord(0x2007), 0x11FF) << "bandgap 01, bits 11:9 absent";
    EXPECT_FALSE(c.chip->CalibrationLost());
    c.chip->SetFactoryCalibration(0x3480, 0x3000);
    EXPECT_EQ(c.chip->ReadWord(0x03FF), 0x3480);
    EXPECT_EQ(c.chip->ReadWord(0x2007), 0x31FF);
    EXPECT_FALSE(c.chip->CalibrationLost());
    c.chip->SetFactoryCalibration(0x3454, 0x1000);
    c.chip->WriteWord(0x2000, 0x0001);

    c.Send(kBulkEraseProgramMemory); // from program space, self-timed
    c.Wait(6);
    c.link.FarmReset();
    EXPECT_EQ(c.chip->ReadWord(0x03FF), 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(0x2007), 0x31FF);
    EXPECT_EQ(c.chip->ReadWord(0x2000), 0x0001) << "user IDs only go from configuration space";
    EXPECT_TRUE(c.chip->CalibrationLost());

    // Written back: Begin Programming programs only, so this works on erased words alone.
    c.Increment(0x3FF);
    c.Send(kLoadDataForProgramMemory, 0x3454);
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(3);
    c.Send(kLoadConfiguration, 0);
    c.Increment(7);
    c.Send(kLoadDataForProgramMemory, 0x1FFF);
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(3);
    EXPECT_EQ(c.Read(), 0x11FF);
    EXPECT_FALSE(c.chip->CalibrationLost());
    c.Send(kLoadDataForProgramMemory, 0x3FFF); // cannot set a bit back
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(3);
    EXPECT_EQ(c.Read(), 0x11FF);

    // Begin Programming Only: ended by 0x0A; it cannot touch the configuration word.
    c.Send(kBeginProgrammingOnly);
    c.Wait(2);
    c.Send(kEndProgrammingShort);
    c.link.FarmReset();
    c.Send(kLoadDataForProgramMemory, 0x0123);
    c.Send(kBeginProgrammingOnly);
    c.Wait(2);
    EXPECT_EQ(c.Read(), 0x3FFF) << "not ended: nothing programmed";
    EXPECT_EQ(c.Violations(), 1u);
    c.Send(kLoadDataForProgramMemory, 0x0123);
    c.Send(kBeginProgrammingOnly);
    c.Wait(2);
    c.Send(kEndProgrammingShort);
    EXPECT_EQ(c.Read(), 0x0123);

    c.Send(kLoadConfiguration, 0x3FFF); // from configuration space the IDs go too
    c.Send(kBulkEraseProgramMemory);
    c.Wait(6);
    c.link.FarmReset();
    EXPECT_EQ(c.chip->ReadWord(0x2000), 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(0x2006), 0x0FC0);
    c.chip->EraseAll();
    EXPECT_FALSE(c.chip->CalibrationLost()) << "as from the factory";
    EXPECT_EQ(c.Violations(), 1u);
}

TEST(SimFamilies, RowLatchesOfThe87xA) {
    Chip c(F877A());
    for (std::int32_t a = 0; a < 16; ++a)
        c.chip->WriteWord(a, 0x0000);

    // A word at a time with 0x08: each cycle erases the row and writes its
    // one loaded latch, so the words before it in the row are lost.
    c.Send(kLoadDataForProgramMemory, 0x1111);
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(10);
    c.Increment(1);
    c.Send(kLoadDataForProgramMemory, 0x2222);
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(10);
    c.link.FarmReset();
    EXPECT_EQ(c.chip->ReadWord(0), 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(1), 0x2222);
    EXPECT_EQ(c.chip->ReadWord(7), 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(8), 0x0000) << "the next row is not touched";
    EXPECT_EQ(c.Violations(), 2u);
    EXPECT_NE(c.LastViolation().find("1 of 8 latches"), std::string::npos) << c.LastViolation();

    // A whole row, then one 0x08.
    c.Increment(8);
    for (int k = 0; k < 8; ++k) {
        c.Send(kLoadDataForProgramMemory, static_cast<std::int16_t>(0x0100 + k));
        if (k < 7)
            c.Increment(1);
    }
    c.Send(kBeginEraseProgrammingCycle);
    c.Wait(10);
    c.link.FarmReset();
    for (std::int32_t k = 0; k < 8; ++k)
        EXPECT_EQ(c.chip->ReadWord(8 + k), 0x0100 + k);
    EXPECT_EQ(c.Violations(), 2u);

    // A word at a time with 0x18 ... 0x17 programs only that word's bits.
    c.Send(kLoadDataForProgramMemory, 0x0F0F);
    c.Send(kBeginProgrammingOnly);
    c.Wait(1);
    c.Send(kEndProgramming);
    EXPECT_EQ(c.Read(), 0x0F0F & 0x3FFF);
    EXPECT_EQ(c.chip->ReadWord(1), 0x2222);
    c.Increment(2);
    c.Send(kLoadDataForProgramMemory, 0x3000);
    c.Send(kBeginProgrammingOnly);
    c.Wait(1);
    c.Send(kEndProgramming);
    EXPECT_EQ(c.Read(), 0x3000 & 0x3FFF) << "an erased word takes it";
    c.Send(kLoadDataForProgramMemory, 0x3FFF);
    c.Send(kBeginProgrammingOnly);
    c.Wait(1);
    c.Send(kEndProgramming);
    EXPECT_EQ(c.Read(), 0x3000) << "bits are never set";
    EXPECT_EQ(c.Violations(), 2u);

    // Latches loaded in one row, programmed in the next: wrong words, recorded.
    c.Increment(6); // counter 8, row 1
    c.Send(kLoadDataForProgramMemory, 0x0000);
    c.Increment(8); // row 2
    c.Send(kBeginProgrammingOnly);
    c.Wait(1);
    c.Send(kEndProgramming);
    EXPECT_EQ(c.chip->ReadWord(8), 0x0100);
    EXPECT_EQ(c.chip->ReadWord(16), 0x0000);
    EXPECT_NE(c.LastViolation().find("loaded in row 0008 programmed into row 0010"), std::string::npos)
        << c.LastViolation();
}

TEST(SimFamilies, ChipEraseAndTriggeredBulkErases) {
    for (const auto& d : {F877A(), F88(), F819()}) {
        SCOPED_TRACE(d.Name);
        Chip c(d);
        const bool endsWith17 = d.Name != "F877A";
        const std::int64_t bulk = d.Name == "F819" ? 2 : 10;
        auto fill = [&](std::uint16_t configuration) {
            c.chip->WriteWord(0x0003, 0x0000);
            c.chip->WriteWord(0x2001, 0x0000);
            c.chip->WriteWord(0x2007, configuration);
            c.chip->WriteWord(0x2105, 0x00);
        };
        fill(0x0000); // CP and CPD on
        c.Send(kChipErase); // from program space: everything but the user IDs, protection too
        c.Wait(10);
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x0003), 0x3FFF);
        EXPECT_EQ(c.chip->ReadWord(0x2007), 0x3FFF);
        EXPECT_EQ(c.chip->ReadWord(0x2105), 0xFF);
        EXPECT_EQ(c.chip->ReadWord(0x2001), 0x0000);
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Send(kChipErase);
        c.Wait(10);
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x2001), 0x3FFF);
        EXPECT_EQ(c.chip->ReadWord(0x2006), d.DeviceIDValue);

        fill(0x2100); // CP and CPD off
        c.Send(kBulkEraseDataMemory); // alone: nothing
        c.Wait(20);
        c.Send(kIncrementAddress);
        EXPECT_EQ(c.chip->ReadWord(0x2105), 0x00);
        c.Send(kLoadDataForDataMemory, 0x3FFF);
        c.Send(kBulkEraseDataMemory);
        c.Send(kBeginEraseProgrammingCycle);
        c.Wait(bulk);
        if (endsWith17)
            c.Send(kEndProgramming);
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x2105), 0xFF);
        EXPECT_EQ(c.chip->ReadWord(0x0003), 0x0000) << "data only";
        EXPECT_TRUE(c.chip->Violations().empty()) << c.LastViolation();
    }
}

TEST(SimFamilies, ExternallyTimedCyclesNeedTheirEndAndTheirTime) {
    for (const auto& d : {F88(), F819()}) {
        SCOPED_TRACE(d.Name);
        Chip c(d);
        // The one-word cycle: 0x08, wait, read. Never ended: nothing programmed.
        c.Send(kLoadDataForProgramMemory, 0x1234);
        c.Send(kBeginEraseProgrammingCycle);
        c.Wait(10);
        EXPECT_EQ(c.Read(), 0x3FFF);
        EXPECT_NE(c.LastViolation().find("never ended"), std::string::npos) << c.LastViolation();
        const std::size_t before = c.Violations();

        // Ended too early: recorded, and the word is not programmed.
        c.Send(kLoadDataForProgramMemory, 0x1234);
        c.Send(kBeginProgrammingOnly);
        c.Send(kEndProgramming);
        EXPECT_EQ(c.Read(), 0x3FFF);
        EXPECT_EQ(c.Violations(), before + 1);

        // Given its time and its end: programmed, in every area.
        c.Send(kLoadDataForProgramMemory, 0x1234);
        c.Send(kBeginProgrammingOnly);
        c.Wait(1);
        c.Send(kEndProgramming);
        EXPECT_EQ(c.Read(), 0x1234);
        c.Send(kLoadConfiguration, 0);
        c.Increment(d.ConfigurationMemory.Size - 1); // the last configuration word
        c.Send(kLoadDataForProgramMemory, 0x2103); // CP and CPD off
        c.Send(kBeginProgrammingOnly);
        c.Wait(1);
        c.Send(kEndProgramming);
        EXPECT_EQ(c.Read(), 0x2103);
        c.link.FarmReset();
        c.Send(kLoadDataForDataMemory, 0x5A);
        c.Send(kBeginProgrammingOnly);
        c.Wait(8); // the EEPROM's own time
        c.Send(kEndProgramming);
        EXPECT_EQ(c.Read(kReadDataFromDataMemory), 0x5A);
        EXPECT_EQ(c.Violations(), before + 1);
        EXPECT_EQ(c.chip->ReadWord(0x2000 + d.ConfigurationMemory.Size - 1), 0x2103);
    }
}

// After End Programming the next command waits TDIS: 100 us where the
// programming specification gives none, DS41191D's 0.5 us on the 12F675.
TEST(SimFamilies, ACommandWithinTdisAfterEndProgrammingIsAViolation) {
    struct Case {
        device::TPicDevice device;
        int begin, end;
        std::int64_t tdisUs;
    };
    for (const Case& k : {Case{F877A(), kBeginProgrammingOnly, kEndProgramming, 100},
                          Case{F88(), kBeginProgrammingOnly, kEndProgramming, 100},
                          Case{F675(), kBeginProgrammingOnly, kEndProgrammingShort, 1}}) {
        SCOPED_TRACE(k.device.Name);
        for (const std::int64_t pauseUs : {std::int64_t{0}, k.tdisUs - 1, k.tdisUs}) {
            SCOPED_TRACE(pauseUs);
            Chip c(k.device);
            c.Send(kLoadDataForProgramMemory, 0x1234);
            c.Send(k.begin);
            c.Wait(2);
            c.link.FarmWrite(k.end, -1);
            c.link.WaitUs(pauseUs);
            EXPECT_EQ(c.Read(), 0x1234) << "the word is programmed either way";
            if (pauseUs < k.tdisUs) {
                ASSERT_EQ(c.Violations(), 1u);
                EXPECT_NE(c.LastViolation().find("within TDIS"), std::string::npos) << c.LastViolation();
            } else {
                EXPECT_EQ(c.Violations(), 0u) << c.LastViolation();
            }
        }
    }
}

// CP and CPD as each family's specification has them: reads of protected
// memory give 0 (the 12F675's calibration word excepted), writes are lost,
// a protection once on cannot be written off, and only the family's erase
// clears it.
TEST(SimFamilies, ProtectionLocksUntilTheFamilysEraseClearsIt) {
    struct Case {
        device::TPicDevice device;
        std::uint16_t locked; // configuration word with CP and CPD on
        std::uint16_t bits;   // CP and CPD
        std::function<void(Chip&)> erase;
        std::function<void(Chip&)> failingErase; // what does not clear it
    };
    const auto bulk = [](bool fromConfiguration, bool trigger) {
        return [=](Chip& c) {
            if (fromConfiguration)
                c.Send(kLoadConfiguration, 0x3FFF);
            c.Send(kLoadDataForProgramMemory, 0x3FFF);
            c.Send(kBulkEraseProgramMemory);
            if (trigger)
                c.Send(kBeginEraseProgrammingCycle);
            c.Wait(20);
            if (trigger && c.chip->FamilyName() != "16F87xA")
                c.Send(kEndProgramming);
            c.link.FarmReset();
        };
    };
    const auto chipErase = [](Chip& c) {
        c.Send(kChipErase);
        c.Wait(10);
        c.link.FarmReset();
    };
    const auto unprotect = [](Chip& c) {
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Increment(7);
        for (int command : {kBulkEraseSetup1, kBulkEraseSetup2, kBeginEraseProgrammingCycle})
            c.Send(command);
        c.Wait(10);
        c.Send(kBulkEraseSetup1);
        c.Send(kBulkEraseSetup2);
        c.link.FarmReset();
    };
    const device::TPicDevice f628a = test::MidrangeDevice({"F628A", 2048, 128, 0x1060, 8, 8, 10});
    for (const Case& k : {Case{F84A(), 0x0001, 0x3FF0, unprotect, bulk(true, true)},
                          Case{f628a, 0x1E30, 0x2100, bulk(false, false), [](Chip&) {}},
                          Case{F675(), 0x3E74, 0x0180, bulk(true, false), [](Chip&) {}},
                          Case{F877A(), 0x1E72, 0x2100, chipErase, bulk(true, true)},
                          Case{F88(), 0x1E72, 0x2100, chipErase, bulk(true, true)}}) {
        SCOPED_TRACE(k.device.Name);
        Chip c(k.device);
        const std::int32_t last = k.device.ProgramMemory.Size - 1;
        c.chip->WriteWord(0x0000, 0x2805);
        c.chip->WriteWord(0x2100, 0x42);
        c.chip->WriteWord(0x2007, k.locked);
        const auto calibration = static_cast<std::uint16_t>(c.chip->ReadWord(last));

        EXPECT_EQ(c.Read(), 0x0000);
        EXPECT_EQ(c.Read(kReadDataFromDataMemory), 0x0000);
        c.Increment(last);
        EXPECT_EQ(c.Read(), k.device.Name == "F675" ? calibration : 0x0000) << "the calibration word stays readable";
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Increment(7);
        EXPECT_EQ(c.Read() & k.bits, 0) << "the configuration word reads as it is";
        c.Send(kLoadDataForProgramMemory, 0x3FFF); // writing the protection off does not take
        c.Send(kBeginEraseProgrammingCycle);
        c.Wait(10);
        c.Send(kIncrementAddress); // any command completes the cycle
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Increment(4);
        c.Send(kLoadDataForProgramMemory, 0x0000);
        c.Send(kBeginEraseProgrammingCycle);
        c.Wait(10);
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x2004), 0x3FFF) << "0x2004 is reserved";
        EXPECT_EQ(c.chip->ReadWord(0x2007) & k.bits, 0);
        c.Send(kLoadDataForProgramMemory, 0x0000); // program memory takes no write
        c.Send(kBeginEraseProgrammingCycle);
        c.Wait(10);
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x2805);

        k.failingErase(c);
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x2805) << "a bulk erase does not clear a protected part";
        k.erase(c);
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x3FFF);
        EXPECT_EQ(c.chip->ReadWord(0x2100), 0xFF) << "the EEPROM goes with the protection";
        EXPECT_EQ(c.Read(), 0x3FFF) << "readable again";
    }
}

TEST(SimFamilies, OneWordChipsIgnoreTheNewerCommands) {
    Chip c(test::MidrangeDevice({"F628A", 2048, 128, 0x1060, 8, 8, 10}));
    c.chip->WriteWord(0, 0x0000);
    c.chip->WriteWord(0x2100, 0x00);
    for (int command : {kChipErase, kBeginProgrammingOnly, kEndProgramming, kEndProgrammingShort})
        c.Send(command);
    c.Wait(50);
    c.link.FarmReset();
    EXPECT_EQ(c.chip->ReadWord(0), 0x0000);
    EXPECT_EQ(c.chip->ReadWord(0x2100), 0x00);
    EXPECT_TRUE(c.chip->Violations().empty());
    EXPECT_EQ(c.chip->RequiredMs(), 0);
}


// ---- the second wave ------------------------------------------------------------

device::TPicDevice Shipped(const std::string& name) {
    device::SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
    device::TPicDevice d = device::GetDeviceSpec(name);
    device::SetDeviceSpecPathOverride("");
    return d;
}

// One programming cycle of the family at the counter: its command, its wait,
// its End Programming.
struct WaveCycle {
    int begin, end; // end 0: internally timed
    std::int64_t ms;
    void Run(Chip& c) const {
        c.Send(begin);
        c.Wait(ms);
        if (end != 0)
            c.Send(end);
    }
};

// Program memory is written a row at a time from 1, 2, 4 or 8 latches the
// counter's low bits select; a latch not loaded clears nothing, and the row
// is the one the counter stands in at Begin Programming; the latches then
// start afresh.
TEST(SimWaveFamilies, RowLatchesOfEachFamily) {
    struct Case {
        const char* device;
        int latches;
        WaveCycle cycle;
    };
    for (const Case& k : {Case{"PIC12F683", 4, {kBeginEraseProgrammingCycle, 0, 6}},
                          Case{"PIC16F916", 8, {kBeginEraseProgrammingCycle, 0, 6}},
                          Case{"PIC16F887", 8, {kBeginEraseProgrammingCycle, 0, 6}},
                          Case{"PIC12F615", 1, {kBeginProgrammingOnly, kEndProgrammingShort, 4}},
                          Case{"PIC16F616", 4, {kBeginProgrammingOnly, kEndProgrammingShort, 4}},
                          Case{"PIC16F73", 2, {kBeginEraseProgrammingCycle, kEndProgrammingOld, 1}},
                          Case{"PIC16F716", 4, {kBeginProgrammingOnly, kEndProgrammingOld, 3}}}) {
        SCOPED_TRACE(k.device);
        Chip c(Shipped(k.device));
        // Every latch loaded but the first, then Begin Programming on the last word of row 1.
        const std::int32_t row = k.latches;
        c.Increment(row);
        for (int i = 0; i < k.latches; ++i) {
            if (i > 0)
                c.Send(kLoadDataForProgramMemory, static_cast<std::int16_t>(0x0100 + i));
            if (i + 1 < k.latches)
                c.Send(kIncrementAddress);
        }
        if (k.latches == 1)
            c.Send(kLoadDataForProgramMemory, 0x0100);
        k.cycle.Run(c);
        for (int i = 0; i < k.latches; ++i)
            EXPECT_EQ(c.chip->ReadWord(row + i), i == 0 && k.latches > 1 ? 0x3FFF : 0x0100 + i) << i;
        // Loaded in row 1, written from row 2: the word lands at the same latch of row 2.
        c.Send(kLoadDataForProgramMemory, 0x0ABC);
        c.Increment(k.latches);
        k.cycle.Run(c);
        EXPECT_EQ(c.chip->ReadWord(2 * row + k.latches - 1), 0x0ABC);
        EXPECT_EQ(c.chip->ReadWord(row + k.latches - 1), k.latches == 1 ? 0x0100 : 0x0100 + k.latches - 1);
        // A one-word write afterwards touches nothing else of its row.
        c.Send(kLoadDataForProgramMemory, 0x0DEF);
        k.cycle.Run(c);
        for (int i = 0; i < k.latches; ++i)
            EXPECT_EQ(c.chip->ReadWord(2 * row + i), i + 1 == k.latches ? 0x0ABC & 0x0DEF : 0x3FFF) << i;
        EXPECT_TRUE(c.chip->Violations().empty()) << c.LastViolation();
    }
}

// The calibration words at 0x2008/0x2009 hold the factory values; the
// erase from 0x2000 keeps them, one with the counter on them wipes them.
TEST(SimWaveFamilies, FactoryCalibrationWordsSurviveTheLoadConfigurationErase) {
    struct Case {
        const char* device;
        std::vector<std::pair<std::int32_t, std::uint16_t>> factory;
    };
    for (const Case& k : {Case{"PIC12F683", {{0x2008, 0x22BE}}}, Case{"PIC16F688", {{0x2008, 0x24F8}}},
                          Case{"PIC16F917", {{0x2008, 0x2036}, {0x2009, 0x3FF8}}},
                          Case{"PIC16F887", {{0x2009, 0x21FF}}}, Case{"PIC12F617", {{0x2008, 0x23FF}}}}) {
        SCOPED_TRACE(k.device);
        Chip c(Shipped(k.device));
        for (const auto& [address, value] : k.factory)
            EXPECT_EQ(c.chip->ReadWord(address), value);
        c.chip->WriteWord(0x0000, 0x0000);
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Send(kBulkEraseProgramMemory);
        c.Wait(6);
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x3FFF);
        EXPECT_FALSE(c.chip->CalibrationLost());
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Increment(k.factory.front().first - 0x2000);
        c.Send(kBulkEraseProgramMemory);
        c.Wait(6);
        c.link.FarmReset();
        EXPECT_TRUE(c.chip->CalibrationLost());
        EXPECT_EQ(c.chip->ReadWord(k.factory.front().first), 0x3FFF);
        EXPECT_TRUE(c.chip->Violations().empty()) << c.LastViolation();
    }
}

// Each family refuses what its command table lacks: a violation, nothing done.
TEST(SimWaveFamilies, CommandsAFamilyLacksAreViolations) {
    struct Case {
        const char* device;
        std::vector<int> lacking;
    };
    for (const Case& k : {Case{"PIC12F609", {kBeginEraseProgrammingCycle, kBulkEraseDataMemory, kChipErase}},
                          Case{"PIC16F73", {kBeginProgrammingOnly, kEndProgrammingShort, kBulkEraseDataMemory}},
                          Case{"PIC16F716", {kBeginEraseProgrammingCycle, kEndProgrammingShort, kEndProgramming}},
                          Case{"PIC16F877", {kBulkEraseProgramMemory, kBulkEraseDataMemory, kBeginProgrammingOnly}},
                          Case{"PIC16F84", {kBeginProgrammingOnly, kEndProgramming, kChipErase}},
                          Case{"PIC16F628", {kEndProgrammingShort, kEndProgramming, kChipErase}}}) {
        SCOPED_TRACE(k.device);
        Chip c(Shipped(k.device));
        c.chip->WriteWord(0x0000, 0x0000);
        for (const int command : k.lacking) {
            const std::size_t before = c.Violations();
            c.Send(kLoadDataForProgramMemory, 0x3FFF);
            c.Send(command);
            c.Wait(50);
            EXPECT_EQ(c.Violations(), before + 1) << Hex4(command);
        }
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x0000);
        if (c.chip->FamilyName() == std::string("12F609") || c.chip->FamilyName() == std::string("16F7x") ||
            c.chip->FamilyName() == std::string("16F716")) {
            const std::size_t before = c.Violations();
            c.Send(kLoadDataForDataMemory, 0x00);
            c.Read(kReadDataFromDataMemory);
            EXPECT_EQ(c.Violations(), before + 2) << "no data commands without EEPROM";
        }
    }
}

// The 16F7x pulse has a maximum: an End Programming after it leaves the word
// unwritten and is a violation; within it the word is programmed.
TEST(SimWaveFamilies, AnOverlongPulseIsATimingViolation) {
    struct Case {
        const char* device;
        std::int64_t maxUs;
    };
    for (const Case& k : {Case{"PIC16F73", 1500}, Case{"PIC16F777", 1500}, Case{"PIC16F72", 3000}}) {
        SCOPED_TRACE(k.device);
        for (const std::int64_t pulseUs : {std::int64_t{1000}, k.maxUs - 200, k.maxUs + 400}) {
            SCOPED_TRACE(pulseUs);
            Chip c(Shipped(k.device));
            c.Send(kLoadDataForProgramMemory, 0x1234);
            c.Send(kBeginEraseProgrammingCycle);
            c.link.WaitUs(pulseUs); // the frames take no virtual time
            c.Send(kEndProgrammingOld);
            const bool over = pulseUs > k.maxUs;
            EXPECT_EQ(c.chip->ReadWord(0x0000), over ? 0x3FFF : 0x1234);
            ASSERT_EQ(c.Violations(), over ? 1u : 0u);
            if (over) {
                EXPECT_NE(c.LastViolation().find("maximum"), std::string::npos) << c.LastViolation();
            }
        }
    }
}

// 16F627/628: a bulk erase waits for its Begin Programming, keeps the
// configuration word and does nothing under CP; the setup cycle on the
// configuration word clears it all. 16F83/84: the setup cycle is their
// erase, program memory or (after a data load) the EEPROM; under CP only the
// one on the configuration word erases.
TEST(SimWaveFamilies, TriggeredAndSetupErasesOfThe627AndThe84) {
    for (const char* name : {"PIC16F628", "PIC16F84"}) {
        SCOPED_TRACE(name);
        const bool f84 = std::string(name) == "PIC16F84";
        Chip c(Shipped(name));
        EXPECT_EQ(c.chip->FamilyName(), f84 ? "16F84" : "16F627");
        const auto seed = [&](std::uint16_t config) {
            c.chip->WriteWord(0x0000, 0x0000);
            c.chip->WriteWord(0x2000, 0x0000);
            c.chip->WriteWord(0x2100, 0x00);
            c.chip->WriteWord(0x2007, config);
        };
        const auto setup = [&](bool toWord, bool data) {
            c.link.FarmReset();
            if (toWord) {
                c.Send(kLoadConfiguration, 0x3FFF);
                c.Increment(7);
            }
            c.Send(data ? kLoadDataForDataMemory : kLoadDataForProgramMemory, 0x3FFF);
            for (int command : {kBulkEraseSetup1, kBulkEraseSetup2, kBeginEraseProgrammingCycle})
                c.Send(command);
            c.Wait(15);
            c.Send(kBulkEraseSetup1);
            c.Send(kBulkEraseSetup2);
            c.link.FarmReset();
        };
        seed(0x3FFF);
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Send(kLoadDataForProgramMemory, 0x3FFF);
        c.Send(kBulkEraseProgramMemory);
        c.Wait(20); // no trigger: nothing
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x0000);
        c.Send(kLoadConfiguration, 0x3FFF);
        c.Send(kLoadDataForProgramMemory, 0x3FFF);
        c.Send(kBulkEraseProgramMemory);
        c.Send(kBeginEraseProgrammingCycle);
        c.Wait(10);
        c.link.FarmReset();
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x3FFF);
        EXPECT_EQ(c.chip->ReadWord(0x2000), 0x3FFF) << "from the configuration area the IDs go too";
        EXPECT_EQ(c.chip->ReadWord(0x2007), 0x3FFF);

        seed(f84 ? 0x000F : 0x03FF); // every CP bit on
        setup(false, false);
        setup(false, true);
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x0000) << "protected: only the setup cycle on the word erases";
        EXPECT_EQ(c.chip->ReadWord(0x2100), 0x00);
        setup(true, false);
        EXPECT_EQ(c.chip->ReadWord(0x0000), 0x3FFF);
        EXPECT_EQ(c.chip->ReadWord(0x2100), 0xFF);
        EXPECT_EQ(c.chip->ReadWord(0x2007), 0x3FFF);

        seed(0x3FFF);
        setup(false, false);
        setup(false, true);
        EXPECT_EQ(c.chip->ReadWord(0x0000), f84 ? 0x3FFF : 0x0000);
        EXPECT_EQ(c.chip->ReadWord(0x2100), f84 ? 0xFF : 0x00);
        EXPECT_EQ(c.chip->ReadWord(0x2000), 0x0000);
        EXPECT_TRUE(c.chip->Violations().empty()) << c.LastViolation();
    }
}

} // namespace
} // namespace vandrel::simulator
