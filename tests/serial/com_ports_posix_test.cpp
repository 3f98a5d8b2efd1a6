// The Linux port list, on a made-up sysfs tree. Lists only; opens nothing.
#include "serial/com_ports_posix.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace vandrel::serial {
namespace {

namespace fs = std::filesystem;

struct FakeTree : ::testing::Test {
    fs::path root = fs::temp_directory_path() / ("vandrel-tty-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path sys = root / "sys";
    fs::path dev = root / "dev";
    void SetUp() override {
        fs::create_directories(sys);
        fs::create_directories(dev);
    }
    void TearDown() override { fs::remove_all(root); }
    void Tty(const std::string& name, bool device, int uartType = -1) {
        fs::create_directories(sys / name);
        if (device)
            fs::create_directories(sys / name / "device");
        if (uartType >= 0)
            std::ofstream(sys / name / "type") << uartType << "\n";
    }
    void DevFile(const std::string& name) { std::ofstream(dev / name) << ""; }
};

TEST_F(FakeTree, OnlyPortsThatAreReallyThereAreListed) {
    Tty("ttyS0", true, 4);    // a 16550A
    Tty("ttyS1", true, 0);    // placeholder: unknown UART
    Tty("ttyS2", false);      // no device
    Tty("ttyUSB0", true);
    Tty("ttyACM1", true);
    Tty("ttyAMA0", true);
    Tty("tty5", true);        // virtual console: not a serial port
    Tty("ttyUSB1", false);
    const auto ports = ListComPorts(sys.string(), "/dev", {});
    EXPECT_EQ(ports, (std::vector<ComPortInfo>{{"COM1", "/dev/ttyS0"},
                                               {"COM100", "/dev/ttyUSB0"},
                                               {"COM201", "/dev/ttyACM1"},
                                               {"COM300", "/dev/ttyAMA0"}}));
}

TEST_F(FakeTree, ExistingOverridesJoinAndReplaceTheirDevice) {
    Tty("ttyUSB0", true);
    Tty("ttyUSB1", true);
    DevFile("ttyUSB0");
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_symlink(dev / "ttyUSB0", dev / "serial" / "by-id" / "usb-Adapter");
    const std::vector<ComOverride> overrides = {
        {4, (dev / "serial" / "by-id" / "usb-Adapter").string()}, // same file as ttyUSB0
        {9, (dev / "missing").string()},                          // absent: not listed
    };
    const auto ports = ListComPorts(sys.string(), dev.string(), overrides);
    EXPECT_EQ(ports, (std::vector<ComPortInfo>{{"COM4", overrides[0].DevicePath},
                                               {"COM101", (dev / "ttyUSB1").string()}}));
}

TEST(ComPorts, MachineListHasUniqueNamesAndNoCom0) {
    // Listing only: no device is opened.
    const auto ports = EnumerateComPorts();
    std::set<std::string> names;
    for (const auto& p : ports) {
        EXPECT_NE(p.Name, "COM0");
        EXPECT_TRUE(names.insert(p.Name).second) << p.Name;
        EXPECT_EQ(ResolveComDevice(p.Name), p.DevicePath);
    }
}

} // namespace
} // namespace vandrel::serial
