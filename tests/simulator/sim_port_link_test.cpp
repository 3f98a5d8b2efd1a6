// The link, the sim driver and the simulated chip together, as the program
// wires them for a user without hardware.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/set_env.h"
#include "programmer/farm_link.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_programmer.h"
#include "support/test_devices.h"

namespace vandrel::simulator {
namespace {

using namespace vandrel::programmer;

device::TPicDevice SmallDevice() {
    return test::MidrangeDevice({"SMALL", 64, 16, 0x1040, 5, 5, 5});
}

class SimPortLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        setup = MakeUserSimulator(SmallDevice(), clock);
        setup.port->SetRecording(true);
        fallbackNames.clear();
        factory = MakeSimulatorFactory(setup.port, [this](const std::string& name) {
            fallbackNames.push_back(name);
            return std::unique_ptr<serial::PortDriver>();
        });
        driver = factory(kSimulatorDeviceName);
        ASSERT_NE(driver, nullptr);
        std::string error;
        ASSERT_TRUE(driver->Open(kSimulatorDeviceName, error)) << error;
        link = std::make_unique<TFarmLink>(*driver, clock);
    }

    std::uint16_t WriteProgramWord(std::int16_t word) {
        link->FarmWrite(kLoadDataForProgramMemory, word);
        link->FarmWrite(kBeginEraseProgrammingCycle, -1);
        clock.WaitMs(5);
        return link->FarmRead(kReadDataFromProgramMemory);
    }

    VirtualClock clock;
    SimulatorSetup setup;
    std::vector<std::string> fallbackNames;
    serial::PortDriverFactory factory;
    std::unique_ptr<serial::PortDriver> driver;
    std::unique_ptr<TFarmLink> link;
};

TEST_F(SimPortLinkTest, ComZeroIsTheSimulatorAndOtherNamesGoToTheFallback) {
    EXPECT_EQ(factory("\\\\.\\COM3"), nullptr);
    EXPECT_NE(factory("\\\\.\\com0"), nullptr);
    EXPECT_EQ(fallbackNames, std::vector<std::string>{"\\\\.\\COM3"});
    auto noFallback = MakeSimulatorFactory(setup.port, nullptr);
    EXPECT_EQ(noFallback("\\\\.\\COM1"), nullptr);
    EXPECT_NE(noFallback(kSimulatorDeviceName), nullptr);
}

TEST_F(SimPortLinkTest, WordsWrittenThroughTheDriverReachTheChip) {
    link->FarmReset();
    EXPECT_EQ(WriteProgramWord(0x2805), 0x2805);
    link->FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(WriteProgramWord(0x0123), 0x0123);
    link->FarmReset();
    link->FarmWrite(kLoadConfiguration, 0);
    for (int i = 0; i < 6; ++i)
        link->FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(link->FarmRead(kReadDataFromProgramMemory), 0x1040);

    EXPECT_EQ(setup.chip->ReadWord(0), 0x2805);
    EXPECT_EQ(setup.chip->ReadWord(1), 0x0123);
    EXPECT_TRUE(setup.chip->Violations().empty());

    // The driver saw exactly the calls of the link, in order.
    setup.port->ClearCalls();
    link->FarmWrite(kIncrementAddress, -1);
    const auto calls = setup.port->Calls();
    ASSERT_EQ(calls.size(), 14u);
    for (const auto& call : calls)
        EXPECT_EQ(call.Name, "EscapeCommFunction");
}

TEST_F(SimPortLinkTest, LineCallThatFailsOnceIsRepeatedAndOnlyAFailedStatusShows) {
    link->FarmReset();
    // The 18th escape of the load: the CLRDTR of data bit 0 of 0x0001 in the
    // data frame (command 0x02 takes 6 cycles with two DTR changes = 14 calls,
    // start bit 2 calls, then CLRRTS and the CLRDTR). Repeated: the bit goes out as 1.
    setup.port->FailCall("EscapeCommFunction", 14 + 2 + 2);
    EXPECT_EQ(WriteProgramWord(0x0001), 0x0001);

    link->FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(WriteProgramWord(0x0000), 0x0000);
    // A failed status query reads as a 1 bit: cycle 1 carries data bit 0.
    setup.port->FailCall("GetCommModemStatus", 2);
    EXPECT_EQ(link->FarmRead(kReadDataFromProgramMemory), 0x0001);

    // A reset whose break calls each fail once still resets the chip.
    link->FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(setup.chip->AddressCounter(), 2);
    setup.port->FailCall("SetCommBreak");
    setup.port->FailCall("ClearCommBreak");
    link->FarmReset();
    EXPECT_EQ(setup.chip->AddressCounter(), 0);
    EXPECT_TRUE(setup.chip->InProgrammingMode());
    EXPECT_FALSE(link->LinkLost());
}

TEST_F(SimPortLinkTest, LostStopBitDtrChangeDoesNotDerailTheNextCommand) {
    link->FarmReset();
    // Load 0x2001: the 49th escape is the SETDTR of the stop bit. Were the
    // line left at 1, Begin Programming (0x08) would arrive as 0x0F.
    setup.port->FailCall("EscapeCommFunction", 49);
    EXPECT_EQ(WriteProgramWord(0x2001), 0x2001);
    EXPECT_EQ(setup.chip->ReadWord(0), 0x2001);
}

TEST_F(SimPortLinkTest, UserSimulatorKeepsNoCallRecord) {
    auto user = MakeUserSimulator(SmallDevice(), clock);
    serial::SimPortDriver userDriver(user.port);
    std::string error;
    ASSERT_TRUE(userDriver.Open(kSimulatorDeviceName, error));
    TFarmLink userLink(userDriver, clock);
    userLink.FarmReset();
    userLink.FarmWrite(kIncrementAddress, -1);
    EXPECT_TRUE(user.port->Calls().empty());
    EXPECT_EQ(user.chip->AddressCounter(), 1);
    EXPECT_EQ(user.chip->LineChanges(), 4u + 14u);
}

// ---- VANDREL1_SIMULATOR -----------------------------------------------------

using vandrel::test::SetEnv;

class SimulatorEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = std::filesystem::temp_directory_path() /
               ("vandrel_sim_env_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".ini");
        std::ofstream(path) << "[PIC16F84A]\nProgramMemory.Address=0\nProgramMemory.Size=1024\n"
                               "DataMemory.Address=0x2100\nDataMemory.Size=64\n[Other]\n";
        device::SetDeviceSpecPathOverride(path.string());
    }
    void TearDown() override {
        SetEnv("VANDREL1_SIMULATOR", nullptr);
        device::SetDeviceSpecPathOverride("");
        std::filesystem::remove(path);
    }
    std::filesystem::path path;
};

TEST_F(SimulatorEnvironmentTest, NamesADeviceOfTheSpecificationFile) {
    SetEnv("VANDREL1_SIMULATOR", nullptr);
    EXPECT_FALSE(SimulatorDeviceFromEnvironment());
    SetEnv("VANDREL1_SIMULATOR", "");
    EXPECT_FALSE(SimulatorDeviceFromEnvironment());
    SetEnv("VANDREL1_SIMULATOR", "PIC99X");
    EXPECT_FALSE(SimulatorDeviceFromEnvironment()) << "not a section of the file";

    SetEnv("VANDREL1_SIMULATOR", "pic16f84a");
    const auto device = SimulatorDeviceFromEnvironment();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->ProgramMemory.Size, 1024);
    EXPECT_EQ(device->DataMemory.Size, 64);

    std::filesystem::remove(path);
    EXPECT_FALSE(SimulatorDeviceFromEnvironment()) << "no file, no simulator";
}

TEST_F(SimulatorEnvironmentTest, EveryShippedDeviceCanBeSimulated) {
    device::SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
    std::vector<std::string> names;
    device::GetDeviceList(names);
    ASSERT_EQ(names.size(), 65u);
    for (const auto& name : names) {
        SetEnv("VANDREL1_SIMULATOR", name.c_str());
        const auto device = SimulatorDeviceFromEnvironment();
        ASSERT_TRUE(device) << name;
        VirtualClock clock;
        const SimulatorSetup setup = MakeUserSimulator(*device, clock);
        if (device->DeviceIDValue >= 0) { // the 16F83/84 (non-A) have none
            EXPECT_EQ(setup.chip->ReadWord(device->DeviceID.Address), device->DeviceIDValue) << name;
        }
        // Sized from the section: its last program word and data cell exist.
        EXPECT_GE(setup.chip->ReadWord(device->ProgramMemory.Size - 1), 0) << name;
        if (device->DataMemory.Size > 0) {
            EXPECT_EQ(setup.chip->ReadWord(device->DataMemory.Address + device->DataMemory.Size - 1), 0xFF) << name;
        }
        EXPECT_EQ(setup.chip->ReadWord(device->DataMemory.Address + std::max<std::int16_t>(device->DataMemory.Size, 0)),
                  -1)
            << name;
    }
}

} // namespace
} // namespace vandrel::simulator
