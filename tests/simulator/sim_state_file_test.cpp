// The simulated chip's memories kept in a file between runs.
#include "simulator/sim_state_file.h"

#include <gtest/gtest.h>

#include <map>

#include "support/temp_dir.h"
#include "support/test_devices.h"

namespace vandrel::simulator {
namespace {

using test::TempDir;

device::TPicDevice Device() { return test::MidrangeDevice({"PIC16F628A", 2048, 128, 0x1060, 8, 8, 10, true}); }

GetEnv Env(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

TEST(SimStateFile, ASavedChipLoadsIntoAFreshOneWordForWord) {
    TempDir dir;
    VirtualClock clock;
    SimChip chip(Device(), clock);
    chip.WriteWord(0x0000, 0x2805);
    chip.WriteWord(0x07FF, 0x0000);
    chip.WriteWord(0x2000, 0x0001);
    chip.WriteWord(0x2007, 0x3F70);
    chip.WriteWord(0x2100, 0x00);
    chip.WriteWord(0x217F, 0xA5);
    const std::string path = dir / "deep/folder/PIC16F628A.hex";
    ASSERT_EQ(SaveSimState(chip, path), "");

    SimChip fresh(Device(), clock);
    ASSERT_EQ(LoadSimState(fresh, path), "");
    for (std::int32_t address = 0; address < 0x4000; ++address)
        ASSERT_EQ(fresh.ReadWord(address), chip.ReadWord(address)) << std::hex << address;
}

TEST(SimStateFile, TheFileHoldsOnlyWordsThatAreNotErasedAndTheChipKeepsItsOwnId) {
    TempDir dir;
    VirtualClock clock;
    SimChip chip(Device(), clock);
    chip.WriteWord(0x0005, 0x1234);
    const std::string path = dir / "s.hex";
    ASSERT_EQ(SaveSimState(chip, path), "");
    EXPECT_EQ(test::ReadWholeFile(path), "; Simulated PIC16F628A: its memories between runs\n"
                                         ":020000040000FA\n"
                                         ":02000A003412AE\n"
                                         ":02400C00601042\n"
                                         ":00000001FF\n");

    // A file from another chip does not change this chip's device ID.
    dir.Write("other.hex", ":02400C0060054D\n:020000000100FD\n");
    SimChip other(Device(), clock);
    ASSERT_EQ(LoadSimState(other, dir / "other.hex"), "");
    EXPECT_EQ(other.ReadWord(0x2006), 0x1060);
    EXPECT_EQ(other.ReadWord(0x0000), 0x0001);
}

TEST(SimStateFile, AMissingFileIsAnErasedChipAndABadOneIsRefused) {
    TempDir dir;
    VirtualClock clock;
    SimChip chip(Device(), clock);
    EXPECT_EQ(LoadSimState(chip, dir / "none.hex"), "");
    EXPECT_EQ(chip.ReadWord(0), 0x3FFF);

    dir.Write("bad.hex", "; comment\n:020000000528D1\n:020002000528D0\n");
    EXPECT_EQ(LoadSimState(chip, dir / "bad.hex"), "line 3: checksum error");
    EXPECT_NE(LoadSimState(chip, dir.Path().string()), ""); // a folder
    // Nowhere to write: a file stands where the folder should be.
    dir.Write("plain", "");
    EXPECT_NE(SaveSimState(chip, dir / "plain/s.hex"), "");
}

TEST(SimStateFile, DefaultPlaceFollowsTheXdgRulesThenTheHomeFolder) {
    EXPECT_EQ(DefaultSimStatePath("PIC16F628A", Env({{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}})),
              (std::filesystem::path("/s") / "vandrel1" / "PIC16F628A.hex").string());
    EXPECT_EQ(DefaultSimStatePath("PIC16F628A", Env({{"XDG_STATE_HOME", ""}, {"HOME", "/h"}})),
              (std::filesystem::path("/h") / ".local" / "state" / "vandrel1" / "PIC16F628A.hex").string());
    EXPECT_EQ(DefaultSimStatePath("PIC16F628A", Env({{"LOCALAPPDATA", "/w"}})),
              (std::filesystem::path("/w") / "vandrel1" / "PIC16F628A.hex").string());
    EXPECT_EQ(DefaultSimStatePath("PIC16F628A", Env({})), "");
    // Both set: Windows takes its own local folder, a HOME there is a Unix-like shell's.
    const std::string both = DefaultSimStatePath("PIC16F628A", Env({{"HOME", "/h"}, {"LOCALAPPDATA", "/w"}}));
#ifdef _WIN32
    EXPECT_EQ(both, (std::filesystem::path("/w") / "vandrel1" / "PIC16F628A.hex").string());
#else
    EXPECT_EQ(both, (std::filesystem::path("/h") / ".local" / "state" / "vandrel1" / "PIC16F628A.hex").string());
#endif
    // A section name is no file name.
    EXPECT_EQ(DefaultSimStatePath("../x y/z", Env({{"XDG_STATE_HOME", "/s"}})),
              (std::filesystem::path("/s") / "vandrel1" / ".._x_y_z.hex").string());
    EXPECT_EQ(DefaultSimStatePath("..", Env({{"XDG_STATE_HOME", "/s"}})),
              (std::filesystem::path("/s") / "vandrel1" / "chip...hex").string());
}

} // namespace
} // namespace vandrel::simulator
