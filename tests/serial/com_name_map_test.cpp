#include "serial/com_name_map.h"

#include <gtest/gtest.h>

#include <map>

namespace vandrel::serial {
namespace {

TEST(ComNameMap, DevicesAndNumbersMapBothWaysInDisjointBlocks) {
    const std::pair<const char*, int> table[] = {
        {"/dev/ttyS0", 1},     {"/dev/ttyS98", 99},     {"/dev/ttyUSB0", 100}, {"/dev/ttyUSB99", 199},
        {"/dev/ttyACM0", 200}, {"/dev/ttyACM5", 205},   {"/dev/ttyAMA0", 300}, {"/dev/ttyAMA99", 399},
    };
    for (auto [device, number] : table) {
        EXPECT_EQ(ComNumberForDevice(device), number) << device;
        EXPECT_EQ(DeviceForComNumber(number), device) << number;
    }
    EXPECT_EQ(ComNumberForDevice("ttyUSB3"), 103);
    for (const char* unmapped : {"/dev/ttyS99", "/dev/ttyUSB100", "/dev/ttyS", "/dev/ttyS01", "/dev/ttyS-1",
                                 "/dev/ttyUSB0x", "/dev/tty0", "/dev/pts/3", "/dev/ttyACM", ""})
        EXPECT_EQ(ComNumberForDevice(unmapped), std::nullopt) << unmapped;
    for (int number : {0, -1, 400, 1000, 99999999})
        EXPECT_EQ(DeviceForComNumber(number), "") << number;

    // Every device of every block has its own number, and none is COM0.
    std::map<int, std::string> seen;
    for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM", "ttyAMA"})
        for (int i = 0; i < 100; ++i) {
            const std::string device = std::string("/dev/") + prefix + std::to_string(i);
            if (auto n = ComNumberForDevice(device)) {
                EXPECT_NE(*n, 0);
                EXPECT_TRUE(seen.emplace(*n, device).second) << device;
            }
        }
}

TEST(ComNameMap, ComNamesParseStrictly) {
    EXPECT_EQ(ParseComName("COM3"), 3);
    EXPECT_EQ(ParseComName("com12"), 12);
    EXPECT_EQ(ParseComName("COM0"), 0);
    EXPECT_EQ(ParseComName("COM99999999"), 99999999);
    for (const char* bad : {"COM", "COM-1", "COM03", "COM3 ", "LPT1", "COM1x", "COM999999999", ""})
        EXPECT_EQ(ParseComName(bad), std::nullopt) << bad;
}

TEST(ComNameMap, OverridesWinAndCom0StaysReserved) {
    const auto overrides = ParseComOverrides(
        "# my adapters\n"
        "COM5 = /dev/serial/by-id/usb-Adapter-if00-port0\n"
        "\n"
        "COM0=/dev/ttyS0\n"           // reserved: skipped
        "COM100=/dev/ttyUSB7\r\n"     // replaces the map's ttyUSB0
        "garbage line\n"
        "COM7=relative/path\n"        // not a path: skipped
        "COM5=/dev/ttyACM3");         // a later line replaces an earlier one
    EXPECT_EQ(overrides, (std::vector<ComOverride>{{5, "/dev/ttyACM3"}, {100, "/dev/ttyUSB7"}}));

    EXPECT_EQ(ResolveComName("COM5", overrides), "/dev/ttyACM3");
    EXPECT_EQ(ResolveComName("COM100", overrides), "/dev/ttyUSB7");
    EXPECT_EQ(ResolveComName("COM1", overrides), "/dev/ttyS0");
    EXPECT_EQ(ResolveComName("COM0", overrides), "");
    EXPECT_EQ(ResolveComName("COM0", {{0, "/dev/ttyS0"}}), "");
    EXPECT_EQ(ResolveComName("COM7", overrides), "/dev/ttyS6");
    EXPECT_EQ(ResolveComName("COM450", overrides), "");
    EXPECT_EQ(ResolveComName("nonsense", overrides), "");
}

TEST(ComNameMap, OverrideFileLocation) {
    std::map<std::string, std::string> env;
    const auto lookup = [&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(ComOverrideFilePath(lookup), "");
    env["HOME"] = "/home/u";
    EXPECT_EQ(ComOverrideFilePath(lookup), "/home/u/.config/Ostmerin/vandrel1-ports.conf");
    env["XDG_CONFIG_HOME"] = "relative"; // not absolute: ignored
    EXPECT_EQ(ComOverrideFilePath(lookup), "/home/u/.config/Ostmerin/vandrel1-ports.conf");
    env["XDG_CONFIG_HOME"] = "/cfg";
    EXPECT_EQ(ComOverrideFilePath(lookup), "/cfg/Ostmerin/vandrel1-ports.conf");
    env["VANDREL1_PORTS"] = "/tmp/ports.conf";
    EXPECT_EQ(ComOverrideFilePath(lookup), "/tmp/ports.conf");
}

} // namespace
} // namespace vandrel::serial
