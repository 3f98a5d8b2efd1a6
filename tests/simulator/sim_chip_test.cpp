#include "simulator/sim_programmer.h"

#include <gtest/gtest.h>

#include "programmer/farm_link.h"
#include "support/modem_lines_fake.h"
#include "support/test_devices.h"

namespace vandrel::simulator {
namespace {

using namespace vandrel::programmer;
using serial::win::CLRDTR;
using serial::win::CLRRTS;
using serial::win::MS_CTS_ON;
using serial::win::SETDTR;
using serial::win::SETRTS;

device::TPicDevice TestDevice() {
    // Distinct waits, so a test can tell which one the chip enforced.
    return test::MidrangeDevice({"TEST16", 1024, 64, 0x1040, 10, 8, 12}); // a 16F62xA by its ID
}

// The chip behind a direct ModemLines -> LinePeer adapter, driven by the
// link on virtual time, with the small routines a programming run uses.
class SimChipTest : public ::testing::Test {
protected:
    explicit SimChipTest(device::TPicDevice device = TestDevice())
        : chip(std::make_shared<SimChip>(device, clock)), lines(chip), link(lines, clock) {}

    VirtualClock clock;
    std::shared_ptr<SimChip> chip;
    test::PeerModemLines lines;
    TFarmLink link;

    void Increment(int times) {
        for (int i = 0; i < times; ++i)
            link.FarmWrite(kIncrementAddress, -1);
    }

    // Load, program, wait, read back, as the programming run does it.
    std::uint16_t WriteAndReadBack(int load, int read, std::int16_t word, std::int64_t waitMs) {
        link.FarmWrite(load, word);
        link.FarmWrite(kBeginEraseProgrammingCycle, -1);
        clock.WaitMs(waitMs);
        return link.FarmRead(read);
    }
};

TEST_F(SimChipTest, ProgramMemoryWordsAreWrittenAndReadBackAtTheCounter) {
    link.FarmReset();
    EXPECT_TRUE(chip->InProgrammingMode());
    EXPECT_EQ(chip->AddressCounter(), 0);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x2805, 10), 0x2805);
    Increment(0x10);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x1234, 10), 0x1234);
    // Bit 14 of the word is never sent.
    Increment(1);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x7ABC, 10), 0x3ABC);

    EXPECT_EQ(chip->ReadWord(0x0000), 0x2805);
    EXPECT_EQ(chip->ReadWord(0x0010), 0x1234);
    EXPECT_EQ(chip->ReadWord(0x0011), 0x3ABC);
    EXPECT_EQ(chip->ReadWord(0x0001), 0x3FFF);
    EXPECT_TRUE(chip->Violations().empty());
    EXPECT_EQ(chip->CommandsSeen(), 9u + 0x11);
}

TEST_F(SimChipTest, ResetReturnsTheCounterToZeroAndSeededWordsReadBack) {
    chip->WriteWord(0x0000, 0x3001);
    chip->WriteWord(0x0003, 0x0ABC);
    link.FarmReset();
    Increment(5);
    EXPECT_EQ(chip->AddressCounter(), 5);
    link.FarmReset();
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x3001);
    Increment(3);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x0ABC);
}

TEST_F(SimChipTest, ConfigurationAreaIsReachedThroughLoadConfiguration) {
    link.FarmReset();
    link.FarmWrite(kLoadConfiguration, 0);
    EXPECT_EQ(chip->AddressCounter(), 0x2000);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x0012, 10), 0x0012);
    Increment(6);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x1040) << "device ID";
    // The device ID cannot be programmed.
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x0000, 10), 0x1040);
    Increment(1);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x3FF1, 10), 0x3FF1);
    EXPECT_EQ(chip->ReadWord(0x2007), 0x3FF1);
    EXPECT_EQ(chip->ReadWord(0x2000), 0x0012);
    EXPECT_EQ(chip->ReadWord(0x0000), 0x3FFF) << "program memory untouched";
    EXPECT_TRUE(chip->Violations().empty());
}

TEST_F(SimChipTest, DataMemoryIsAddressedByTheLowCounterBits) {
    // Write counting from 0x2100 after a Load Data of 0, verify from 0x2100:
    // the chip counter runs from 0, so both land on the same cells.
    link.FarmReset();
    link.FarmWrite(kLoadDataForDataMemory, 0);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForDataMemory, kReadDataFromDataMemory, 0x12A5, 8), 0xA5)
        << "only the low 8 bits are kept; upper bits read 0";
    Increment(3);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForDataMemory, kReadDataFromDataMemory, 0x5A, 8), 0x5A);
    link.FarmReset();
    EXPECT_EQ(link.FarmRead(kReadDataFromDataMemory), 0xA5);
    Increment(3);
    EXPECT_EQ(link.FarmRead(kReadDataFromDataMemory), 0x5A);
    // 64 cells: counter 67 is cell 3 again.
    Increment(64);
    EXPECT_EQ(link.FarmRead(kReadDataFromDataMemory), 0x5A);

    EXPECT_EQ(chip->ReadWord(0x2100), 0xA5);
    EXPECT_EQ(chip->ReadWord(0x2103), 0x5A);
    EXPECT_EQ(chip->ReadWord(0x2101), 0xFF);
    EXPECT_EQ(chip->ReadWord(0x2100 + 64), -1);
    EXPECT_EQ(chip->ReadWord(0x0400), -1);
    EXPECT_EQ(chip->ReadWord(0x2008), -1);
    EXPECT_TRUE(chip->Violations().empty());
}

TEST_F(SimChipTest, BulkErasesClearTheirMemories) {
    chip->WriteWord(0x0005, 0x0001);
    chip->WriteWord(0x2000, 0x0002);
    chip->WriteWord(0x2007, 0x2103); // CP (bit 13) and CPD (bit 8) off
    chip->WriteWord(0x2101, 0x44);

    link.FarmReset();
    link.FarmWrite(kBulkEraseProgramMemory, -1);
    clock.WaitMs(12);
    link.FarmReset();
    EXPECT_EQ(chip->ReadWord(0x0005), 0x3FFF);
    EXPECT_EQ(chip->ReadWord(0x2007), 0x3FFF) << "the configuration word goes even from program space";
    EXPECT_EQ(chip->ReadWord(0x2000), 0x0002) << "the user IDs only from the configuration area";
    EXPECT_EQ(chip->ReadWord(0x2101), 0x44);

    link.FarmWrite(kLoadConfiguration, 0);
    link.FarmWrite(kBulkEraseProgramMemory, -1);
    clock.WaitMs(12);
    link.FarmReset();
    EXPECT_EQ(chip->ReadWord(0x2000), 0x3FFF);
    EXPECT_EQ(chip->ReadWord(0x2007), 0x3FFF);
    EXPECT_EQ(chip->ReadWord(0x2006), 0x1040) << "device ID is not erasable";

    link.FarmWrite(kBulkEraseDataMemory, -1);
    clock.WaitMs(12);
    EXPECT_EQ(link.FarmRead(kReadDataFromDataMemory), 0xFF);
    EXPECT_EQ(chip->ReadWord(0x2101), 0xFF);
    EXPECT_TRUE(chip->Violations().empty());
}

TEST_F(SimChipTest, CommandBeforeTheCycleEndsSpoilsTheWordAndIsRecorded) {
    link.FarmReset();
    Increment(2);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x1111, 9), 0x3FFF);
    ASSERT_EQ(chip->Violations().size(), 1u);
    EXPECT_NE(chip->Violations()[0].What.find("0002"), std::string::npos) << chip->Violations()[0].What;
    EXPECT_EQ(chip->ReadWord(0x0002), 0x3FFF);

    // A reset during a bulk erase leaves the memory as it was.
    chip->WriteWord(0x0007, 0x0042);
    link.FarmWrite(kBulkEraseProgramMemory, -1);
    link.FarmReset(); // waits 100 ms, but only after raising the reset
    EXPECT_EQ(chip->Violations().size(), 2u);
    EXPECT_EQ(chip->ReadWord(0x0007), 0x0042);

    // Data cycles use Tdprog.
    link.FarmWrite(kLoadDataForDataMemory, 0x77);
    link.FarmWrite(kBeginEraseProgrammingCycle, -1);
    clock.WaitMs(8);
    EXPECT_EQ(link.FarmRead(kReadDataFromDataMemory), 0x77);
    EXPECT_EQ(chip->Violations().size(), 2u);
}

TEST_F(SimChipTest, CyclesAreTimedToTheMicrosecond) {
    link.FarmReset();
    link.FarmWrite(kLoadDataForProgramMemory, 0x0123);
    link.FarmWrite(kBeginEraseProgrammingCycle, -1);
    clock.WaitUs(9'999); // a microsecond short of Tprog
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x3FFF);
    ASSERT_EQ(chip->Violations().size(), 1u);
    EXPECT_NE(chip->Violations()[0].What.find("9.999 ms into the 10 ms"), std::string::npos)
        << chip->Violations()[0].What;

    Increment(1);
    link.FarmWrite(kLoadDataForProgramMemory, 0x0456);
    link.FarmWrite(kBeginEraseProgrammingCycle, -1);
    clock.WaitUs(10'000);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x0456);
    EXPECT_EQ(chip->Violations().size(), 1u);
}

TEST_F(SimChipTest, CycleCompletesOnItsOwnWhenTimePasses) {
    link.FarmReset();
    link.FarmWrite(kLoadDataForProgramMemory, 0x0123);
    link.FarmWrite(kBeginEraseProgrammingCycle, -1);
    EXPECT_EQ(chip->ReadWord(0), 0x3FFF) << "still programming";
    clock.WaitMs(10);
    EXPECT_EQ(chip->ReadWord(0), 0x0123);
    link.FarmReset();
    EXPECT_TRUE(chip->Violations().empty());
}

class SimChipUntimedTest : public SimChipTest {
protected:
    static device::TPicDevice Untimed() {
        auto d = TestDevice();
        d.Tprog = -1; // missing from the device file
        d.Tdprog = 0;
        d.Tera = -1;
        return d;
    }
    SimChipUntimedTest() : SimChipTest(Untimed()) {}
};

TEST_F(SimChipUntimedTest, NonPositiveTimingsImposeNoWait) {
    link.FarmReset();
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x0AAA, 0), 0x0AAA);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForDataMemory, kReadDataFromDataMemory, 0x33, 0), 0x33);
    link.FarmWrite(kBulkEraseProgramMemory, -1);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x3FFF);
    EXPECT_TRUE(chip->Violations().empty());
}

TEST_F(SimChipTest, ProgrammingModeNeedsClockAndDataLowWhenVoltageRises) {
    chip->WriteWord(0, 0x0000);
    // Break released with the data line high (DTR clear): the chip stays out
    // of programming mode and the data pin just echoes the PC's line.
    lines.SetCommBreak();
    lines.EscapeCommFunction(SETRTS);
    lines.EscapeCommFunction(CLRDTR);
    lines.ClearCommBreak();
    EXPECT_FALSE(chip->InProgrammingMode());
    link.FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(chip->CommandsSeen(), 0u);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0) << "CTS echoes DTR set";

    link.FarmReset();
    EXPECT_TRUE(chip->InProgrammingMode());
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x0000);
    EXPECT_EQ(chip->CommandsSeen(), 1u);
}

TEST_F(SimChipTest, ReadFrameDrivesStartAndStopBitsLowAndDataBitsAfterEachFallingEdge) {
    chip->WriteWord(0, 0x3FFF);
    link.FarmReset();
    link.FarmSend(kReadDataFromProgramMemory, 6);
    std::vector<bool> ctsOn;
    for (int i = 0; i < 16; ++i) {
        chip->OnEscape(CLRRTS);
        chip->OnEscape(SETRTS);
        ctsOn.push_back((chip->ModemStatus() & MS_CTS_ON) != 0);
    }
    EXPECT_TRUE(ctsOn[0]) << "start bit 0";
    for (int i = 1; i <= 14; ++i)
        EXPECT_FALSE(ctsOn[static_cast<std::size_t>(i)]) << i;
    EXPECT_TRUE(ctsOn[15]) << "stop bit 0";
    // The next command frame is decoded normally after the read frame.
    link.FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(chip->AddressCounter(), 1);
}

TEST_F(SimChipTest, FaultsShowOnlyInTheWordsReadBack) {
    chip->WriteWord(0, 0x1000);
    link.FarmReset();

    chip->SetStuckBit(0, true);
    chip->SetStuckBit(12, false);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x0001);
    EXPECT_EQ(link.FarmRead(kReadDataFromDataMemory), 0x00FF) << "data reads share the stuck bits";
    chip->ClearStuckBits();
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x1000);

    chip->SetNoChip(true, false);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x3FFF);
    chip->SetNoChip(true, true);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x0000);
    chip->SetNoChip(false);

    chip->SetWriteProtected(0x0000);
    chip->SetWriteProtected(0x2101);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x0555, 10), 0x1000);
    link.FarmWrite(kBulkEraseProgramMemory, -1);
    clock.WaitMs(12);
    EXPECT_EQ(chip->ReadWord(0), 0x1000) << "protected against erase too";
    Increment(1);
    EXPECT_EQ(WriteAndReadBack(kLoadDataForDataMemory, kReadDataFromDataMemory, 0x66, 8), 0xFF);
    chip->SetWriteProtected(0x0000, false);
    link.FarmReset();
    EXPECT_EQ(WriteAndReadBack(kLoadDataForProgramMemory, kReadDataFromProgramMemory, 0x0555, 10), 0x1000 & 0x0555)
        << "0x08 only programs: the word the erase kept loses bits, gains none";
}

TEST_F(SimChipTest, UnknownCommandsAreIgnoredAndLineChangesCounted) {
    link.FarmReset();
    EXPECT_EQ(chip->LineChanges(), 4u);
    link.FarmWrite(0x1F, -1);
    link.FarmWrite(0x01, -1);
    link.FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(chip->AddressCounter(), 1);
    EXPECT_EQ(chip->CommandsSeen(), 3u);
    EXPECT_EQ(chip->ReadWord(0), 0x3FFF);
}

TEST_F(SimChipTest, EraseAllRestoresErasedMemoriesButKeepsTheDeviceId) {
    chip->WriteWord(0x03FF, 0);
    chip->WriteWord(0x2003, 0);
    chip->WriteWord(0x213F, 0);
    chip->EraseAll();
    EXPECT_EQ(chip->ReadWord(0x03FF), 0x3FFF);
    EXPECT_EQ(chip->ReadWord(0x2003), 0x3FFF);
    EXPECT_EQ(chip->ReadWord(0x213F), 0xFF);
    EXPECT_EQ(chip->ReadWord(0x2006), 0x1040);
}

TEST(SimChipShape, DeviceWithoutMemoriesAnswersQuietly) {
    device::TPicDevice d;
    d.Name = "EMPTY";
    d.ProgramMemory = {-1, -1};
    d.DataMemory = {-1, -1};
    d.ConfigurationMemory = {-1, -1};
    d.UserID = {-1, -1};
    d.DeviceID = {-1, -1};
    d.DeviceIDValue = -1;
    d.ConfigurationWord = {-1, -1};
    d.Tprog = d.Tdprog = d.Tera = -1;
    VirtualClock clock;
    auto chip = std::make_shared<SimChip>(d, clock);
    test::PeerModemLines lines(chip);
    TFarmLink link(lines, clock);
    link.FarmReset();
    link.FarmWrite(kLoadDataForProgramMemory, 0x1234);
    link.FarmWrite(kBeginEraseProgrammingCycle, -1);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0);
    EXPECT_EQ(link.FarmRead(kReadDataFromDataMemory), 0);
    EXPECT_EQ(chip->ReadWord(0), -1);
    EXPECT_EQ(chip->ReadWord(0x2100), -1);
}

} // namespace
} // namespace vandrel::simulator
