#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "device/pic_device.h"

namespace vandrel::device {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr TMemoryRange kNone{-1, -1};

// Points the reader at a file of its own for the duration of a test.
class DeviceSpecFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() / ("vandrel_device_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir_);
        path_ = dir_ / "picspecs.ini";
        SetDeviceSpecPathOverride(path_.string());
    }
    void TearDown() override
    {
        SetDeviceSpecPathOverride("");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void Write(const std::string& text)
    {
        std::ofstream(path_, std::ios::binary) << text;
    }

    fs::path dir_;
    fs::path path_;
};

TEST(InRangeTest, CoversAddressThroughAddressPlusSizeMinusOne)
{
    const TMemoryRange eeprom{8448, 128};
    EXPECT_TRUE(InRange(8448, eeprom));
    EXPECT_TRUE(InRange(8575, eeprom));
    EXPECT_FALSE(InRange(8447, eeprom));
    EXPECT_FALSE(InRange(8576, eeprom));
    for (std::int16_t size : {0, -1, -32768}) {
        for (std::int32_t a : {-40000, -1, 0, 8448, 40000})
            EXPECT_FALSE(InRange(a, TMemoryRange{8448, size})) << size << " " << a;
        EXPECT_FALSE(InRange(-1, TMemoryRange{-1, size}));
    }
    // The end is formed in 32 bits: no wrap at the top of the 16-bit range.
    EXPECT_TRUE(InRange(32767 + 100, TMemoryRange{32767, 32767}));
    EXPECT_TRUE(InRange(-32768, TMemoryRange{-32768, 1}));
}

TEST(CurrentDeviceTest, StartsEmpty)
{
    EXPECT_EQ(CurrentDevice, TPicDevice{});
    EXPECT_TRUE(CurrentDevice.Name.empty());
}

TEST_F(DeviceSpecFileTest, ReadsEveryKeyIntoItsOwnField)
{
    Write("[Chip]\r\n"
          "Timing.Tera=30\r\nTiming.Tdprog=20\r\nTiming.Tprog=  5  \r\n"
          "programmemory.SIZE=1024\r\nProgramMemory.Address=0\r\n"
          "DataMemory.Address=0x2100\r\nDataMemory.Size=64\r\n"
          "ConfigurationMemory.Address=$2000\r\nConfigurationMemory.Size=8\r\n"
          "UserID.Address=x2000\r\nUserID.Size=4\r\n"
          "DeviceID.Address=8198\r\nDeviceID.Size=1\r\nDeviceID.Value=0X0560\r\n"
          "ConfigurationWord.Address=0x2007\r\nConfigurationWord.Size=1\r\n"
          "LVP=1\r\nUnknown.Key=7\r\n");
    TPicDevice expected;
    expected.Name = "chip";
    expected.ProgramMemory = {0, 1024};
    expected.DataMemory = {0x2100, 64};
    expected.ConfigurationMemory = {0x2000, 8};
    expected.UserID = {0x2000, 4};
    expected.DeviceID = {0x2006, 1};
    expected.DeviceIDValue = 0x0560;
    expected.ConfigurationWord = {0x2007, 1};
    expected.LVP = true;
    expected.Tprog = 5;
    expected.Tdprog = 20;
    expected.Tera = 30;
    // The name keeps the letters it was asked with.
    EXPECT_EQ(GetDeviceSpec("chip"), expected);
}

TEST_F(DeviceSpecFileTest, SixteenBitFieldsTakeTheLowHalfAndWaitsKeepAll)
{
    Write("[A]\nProgramMemory.Size=$FFFF\nDataMemory.Size=65535\nUserID.Size=40000\n"
          "DeviceID.Value=-$10\nDataMemory.Address=-32768\nConfigurationWord.Size=$12345\n"
          "Timing.Tprog=100000\nTiming.Tdprog=$FFFFFFFF\nTiming.Tera=5 ms\n"
          "ProgramMemory.Address=1\nProgramMemory.Address=2\n");
    const auto d = GetDeviceSpec("A");
    EXPECT_EQ(d.ProgramMemory, (TMemoryRange{1, -1})); // first key wins; $FFFF is -1
    EXPECT_EQ(d.DataMemory, (TMemoryRange{-32768, -1}));
    EXPECT_EQ(d.UserID.Size, -25536);
    EXPECT_EQ(d.DeviceIDValue, -1);
    EXPECT_EQ(d.ConfigurationWord.Size, 0x2345);
    EXPECT_EQ(d.Tprog, 100000);
    EXPECT_EQ(d.Tdprog, -1);
    EXPECT_EQ(d.Tera, -1);
}

TEST_F(DeviceSpecFileTest, LvpIsTrueOnlyForTheNumberOne)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"LVP=1", true}, {"LVP=01", true}, {"LVP=$1", true}, {"LVP=+1", true}, {"lvp = 0x1", true},
        {"LVP=2", false}, {"LVP=yes", false}, {"LVP=", false}, {"", false}, {"LVP=-1", false},
        {"LVP=$10001", false}};
    for (const auto& [line, lvp] : cases) {
        Write("[A]\n" + line + "\n");
        EXPECT_EQ(GetDeviceSpec("A").LVP, lvp) << line;
    }
}

TEST_F(DeviceSpecFileTest, MissingSectionOrEmptySectionGivesMinusOnes)
{
    Write("[Empty]\n[Other]\nLVP=1\nTiming.Tprog=5\n");
    for (const std::string name : {"Empty", "Absent"}) {
        const auto d = GetDeviceSpec(name);
        EXPECT_EQ(d.Name, name);
        for (auto r : {d.ProgramMemory, d.DataMemory, d.ConfigurationMemory, d.UserID, d.DeviceID, d.ConfigurationWord})
            EXPECT_EQ(r, kNone);
        EXPECT_EQ(d.DeviceIDValue, -1);
        EXPECT_FALSE(d.LVP);
        EXPECT_EQ(d.Tprog, -1);
        EXPECT_EQ(d.Tdprog, -1);
        EXPECT_EQ(d.Tera, -1);
    }
}

TEST_F(DeviceSpecFileTest, ListGivesSectionsInFileOrderAndIsReadAfresh)
{
    Write("[Zeta]\n[alpha]\nk=1\n[Mid dle]\n");
    Names names{"stale"};
    GetDeviceList(names);
    EXPECT_EQ(names, (Names{"Zeta", "alpha", "Mid dle"}));

    Write("[Zeta]\nTiming.Tprog=9\n");
    GetDeviceList(names);
    EXPECT_EQ(names, (Names{"Zeta"}));
    EXPECT_EQ(GetDeviceSpec("ZETA").Tprog, 9);
    Write("[Zeta]\nTiming.Tprog=3\n");
    EXPECT_EQ(GetDeviceSpec("ZETA").Tprog, 3);
}

TEST_F(DeviceSpecFileTest, MissingFileLeavesTheListAndGivesNoDevice)
{
    Names names{"kept"};
    GetDeviceList(names);
    EXPECT_EQ(names, (Names{"kept"}));
    const auto d = GetDeviceSpec("PIC16F84A");
    EXPECT_TRUE(d.Name.empty());
    EXPECT_EQ(d, TPicDevice{});
}

TEST_F(DeviceSpecFileTest, UnreadableFileHasNoSections)
{
    fs::create_directories(path_); // exists, but is no file that can be read
    Names names{"old"};
    GetDeviceList(names);
    EXPECT_TRUE(names.empty());
    const auto d = GetDeviceSpec("A");
    EXPECT_EQ(d.Name, "A");
    EXPECT_EQ(d.ProgramMemory, kNone);
}

// All devices read in one pass are each what reading that one name gives:
// repeated and differently cased headers, keys split over the same names
// ("ProgramMemory" + ".Size"), CRLF lines and a key that only looks alike.
TEST_F(DeviceSpecFileTest, AllDevicesAtOnceMatchEachReadByName)
{
    std::ifstream shipped(std::string(VANDREL_SOURCE_DIR) + "/picspecs.ini", std::ios::binary);
    const std::string shippedText{std::istreambuf_iterator<char>(shipped), {}};
    const std::string awkward = "k=0\n[B]\r\nprogrammemory.SIZE = $40\r\nProgramMemory.Size=7\r\n"
                                "DataMemory.Begin=0x18\nDataMemoryx.Begin=1\nErase.End=0x0E\n[b]\nLVP=1\n"
                                "[A]\nProgramMemory.Address.Size=3\nConfigurationMemory.Wait=5\n[ ]\n";
    for (const std::string* text : {&shippedText, &awkward}) {
        Write(*text);
        Names names;
        GetDeviceList(names);
        const std::vector<TPicDevice> all = GetAllDevicesFromText(*text);
        ASSERT_EQ(all, GetAllDevices());
        ASSERT_EQ(all.size(), names.size());
        for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i], GetDeviceSpecFromText(*text, names[i])) << names[i];
    }
    const std::vector<TPicDevice> awk = GetAllDevicesFromText(awkward);
    ASSERT_EQ(awk.size(), 3u);
    EXPECT_EQ(awk[0].ProgramMemory, (TMemoryRange{-1, 0x40}));
    EXPECT_FALSE(awk[0].LVP);
    EXPECT_EQ(awk[0].Algorithm.Data.Begin, 0x18);
    EXPECT_EQ(awk[0].Algorithm.Erase.End, 0x0E);
    EXPECT_EQ(awk[1].ProgramMemory, kNone);
    EXPECT_EQ(awk[1].Algorithm.Configuration.Wait, 5);
    EXPECT_EQ(awk[2].Name, "");

    Write("");
    fs::remove(path_);
    EXPECT_TRUE(GetAllDevices().empty());
}

TEST(DeviceSpecPathTest, DefaultsToTheExecutablesDirectory)
{
    SetDeviceSpecPathOverride("");
    const fs::path path = DeviceSpecPath();
    EXPECT_EQ(path.filename(), "picspecs.ini");
#ifdef __linux__
    EXPECT_EQ(fs::canonical(path.parent_path()), fs::canonical(fs::read_symlink("/proc/self/exe").parent_path()));
#endif
    // The build puts the shipped file there.
    Names names;
    GetDeviceList(names);
    EXPECT_FALSE(names.empty());
}

TEST(ShippedSpecFileTest, ParsesIntoTheExpectedRecords)
{
    SetDeviceSpecPathOverride(std::string(VANDREL_SOURCE_DIR) + "/picspecs.ini");
    Names names;
    GetDeviceList(names);
    // No section that is not a device: the window lists every one.
    ASSERT_EQ(names.size(), 65u);
    EXPECT_EQ(Names(names.begin(), names.begin() + 16), (Names{"PIC16F84A", "PIC16F627A", "PIC16F628A", "PIC16F648A", "PIC12F629", "PIC12F675",
                            "PIC16F630", "PIC16F676", "PIC16F873A", "PIC16F874A", "PIC16F876A", "PIC16F877A",
                            "PIC16F87", "PIC16F88", "PIC16F818", "PIC16F819"}));

    struct Expected {
        const char* name;
        std::int16_t programWords, eepromBytes, deviceId;
        bool lvp;
        std::int16_t configWords = 1;
    };
    for (const auto& e : {Expected{"PIC16F84A", 1024, 64, 0x0560, false},
                          Expected{"PIC16F627A", 1024, 128, 0x1040, true},
                          Expected{"PIC16F628A", 2048, 128, 0x1060, true},
                          Expected{"PIC16F648A", 4096, 256, 0x1100, true},
                          Expected{"PIC12F629", 1024, 128, 0x0F80, false},
                          Expected{"PIC12F675", 1024, 128, 0x0FC0, false},
                          Expected{"PIC16F630", 1024, 128, 0x10C0, false},
                          Expected{"PIC16F676", 1024, 128, 0x10E0, false},
                          Expected{"PIC16F873A", 4096, 128, 0x0E40, true},
                          Expected{"PIC16F874A", 4096, 128, 0x0E60, true},
                          Expected{"PIC16F876A", 8192, 256, 0x0E00, true},
                          Expected{"PIC16F877A", 8192, 256, 0x0E20, true},
                          Expected{"PIC16F87", 4096, 256, 0x0720, true, 2},
                          Expected{"PIC16F88", 4096, 256, 0x0760, true, 2},
                          Expected{"PIC16F818", 1024, 128, 0x04C0, true},
                          Expected{"PIC16F819", 2048, 256, 0x04E0, true}}) {
        const auto d = GetDeviceSpec(e.name);
        SCOPED_TRACE(e.name);
        EXPECT_EQ(d.Name, e.name);
        EXPECT_EQ(d.ProgramMemory, (TMemoryRange{0, e.programWords}));
        EXPECT_EQ(d.DataMemory, (TMemoryRange{0x2100, e.eepromBytes}));
        EXPECT_EQ(d.ConfigurationMemory, (TMemoryRange{0x2000, static_cast<std::int16_t>(7 + e.configWords)}));
        EXPECT_EQ(d.UserID, (TMemoryRange{0x2000, 4}));
        EXPECT_EQ(d.DeviceID, (TMemoryRange{0x2006, 1}));
        EXPECT_EQ(d.DeviceIDValue, e.deviceId);
        EXPECT_EQ(d.ConfigurationWord, (TMemoryRange{0x2007, e.configWords}));
        EXPECT_EQ(d.LVP, e.lvp);
        EXPECT_GT(d.Tprog, 0);
        EXPECT_GT(d.Tdprog, 0);
        EXPECT_GT(d.Tera, 0);
    }

    // One record per way of writing.
    const TAlgorithm f84 = GetDeviceSpec("PIC16F84A").Algorithm;
    EXPECT_TRUE(f84.Erase.PreloadProgram && f84.Erase.PreloadData);
    EXPECT_EQ(f84.Erase.Trigger, 0x08);
    EXPECT_EQ(f84.Program, TWriteCycle{});
    EXPECT_FALSE(f84.Calibration.Any());

    const TAlgorithm f675 = GetDeviceSpec("PIC12F675").Algorithm;
    EXPECT_EQ(f675.Erase.ProgramCommand, 0x09);
    EXPECT_TRUE(f675.Erase.LoadConfiguration);
    EXPECT_FALSE(f675.Erase.Trigger);
    EXPECT_EQ(f675.Calibration.Osccal, 0x03FF);
    EXPECT_EQ(f675.Calibration.BandgapMask, 0x3000);
    EXPECT_EQ(f675.ConfigurationMasks, (std::vector<std::uint16_t>{0x01FF}));
    EXPECT_EQ(f675.Program, TWriteCycle{});

    const TAlgorithm f877a = GetDeviceSpec("PIC16F877A").Algorithm;
    EXPECT_EQ(f877a.Erase.ProgramCommand, 0x1F);
    EXPECT_EQ(f877a.Program, (TWriteCycle{0x18, 0x17, 2, std::nullopt}));
    EXPECT_EQ(f877a.Configuration, TWriteCycle{});
    EXPECT_EQ(f877a.Data, TWriteCycle{});
    EXPECT_EQ(f877a.Erase.Trigger, 0x08);
    EXPECT_FALSE(f877a.Erase.End);

    const TAlgorithm f88 = GetDeviceSpec("PIC16F88").Algorithm;
    for (const TWriteCycle& cycle : {f88.Program, f88.Configuration, f88.Data})
        EXPECT_EQ(cycle, (TWriteCycle{0x18, 0x17, std::nullopt, std::nullopt}));
    EXPECT_EQ(f88.Erase.End, 0x17);
    EXPECT_EQ(f88.ConfigurationMasks, (std::vector<std::uint16_t>{0x3FFF, 0x0003}));
    EXPECT_EQ(GetDeviceSpec("PIC16F819").Algorithm.Program, f88.Program);

    // Protection bits per family; the 16F84A's erase clears its protection first.
    EXPECT_EQ(f84.Protection, (TProtection{0x3FF0, 0x3FF0, 0}));
    EXPECT_TRUE(f84.Erase.Unprotect);
    EXPECT_EQ(f675.Protection, (TProtection{0x0080, 0x0100, 0}));
    for (const char* name : {"PIC16F628A", "PIC16F877A", "PIC16F88", "PIC16F819"})
        EXPECT_EQ(GetDeviceSpec(name).Algorithm.Protection, (TProtection{0x2000, 0x0100, 0})) << name;
    const TAlgorithm f628a = GetDeviceSpec("PIC16F628A").Algorithm;
    EXPECT_TRUE(f628a.Erase.LoadConfiguration && f628a.Erase.PreloadProgram && !f628a.Erase.PreloadData);
    SetDeviceSpecPathOverride("");
}

} // namespace
} // namespace vandrel::device
