// The COM port list from a registry key laid out like the serial device map,
// made under HKEY_CURRENT_USER for the test.
#include "serial/com_ports_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vandrel::serial {
namespace {

class ComPortsRegistry : public testing::Test {
protected:
    void SetUp() override
    {
        key_ = "Software\\Vandrel1Tests\\SerialComm" + std::to_string(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, &handle_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        if (handle_) ::RegCloseKey(handle_);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vandrel1Tests");
    }
    void SetRaw(const char* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(::RegSetValueExA(handle_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    void SetString(const char* name, const std::string& value)
    {
        SetRaw(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }
    static std::vector<ComPortInfo> Sorted(std::vector<ComPortInfo> ports)
    {
        std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
        return ports;
    }

    std::string key_;
    HKEY handle_ = nullptr;
};

TEST_F(ComPortsRegistry, ListsTheValueDataNeverTheNames)
{
    SetString("\\Device\\Serial0", "COM10");
    SetString("\\Device\\Serial1", "COM2");
    SetString("COM7", "COM1"); // a name that looks like a port is still only a name
    SetRaw("\\Device\\VCP0", REG_SZ, "COM3", 4); // stored without its terminator
    const DWORD number = 5;
    SetRaw("\\Device\\Odd", REG_DWORD, &number, sizeof number); // not a string: skipped
    SetString("\\Device\\Blank", "");                            // names no port: skipped

    const auto ports = EnumerateComPortsIn(HKEY_CURRENT_USER, key_);
    EXPECT_EQ(Sorted(ports), (std::vector<ComPortInfo>{{"COM1", "\\\\.\\COM1"},
                                                         {"COM10", "\\\\.\\COM10"},
                                                         {"COM2", "\\\\.\\COM2"},
                                                         {"COM3", "\\\\.\\COM3"}}));
}

TEST_F(ComPortsRegistry, EmptyOrMissingMapGivesNoPorts)
{
    EXPECT_TRUE(EnumerateComPortsIn(HKEY_CURRENT_USER, key_).empty());
    EXPECT_TRUE(EnumerateComPortsIn(HKEY_CURRENT_USER, key_ + "\\Missing").empty());
}

TEST(ComPorts, MachineListNamesItsOwnDevices)
{
    // Whatever this machine has (wine lists its COM links): each entry opens
    // by its own name.
    for (const auto& port : EnumerateComPorts()) {
        EXPECT_FALSE(port.Name.empty());
        EXPECT_EQ(port.DevicePath, "\\\\.\\" + port.Name);
    }
}

TEST(ComPorts, ResolvesComNamesToWin32DeviceNames)
{
    EXPECT_EQ(ResolveComDevice("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(ResolveComDevice("COM250"), "\\\\.\\COM250");
    EXPECT_EQ(ResolveComDevice("com3"), "\\\\.\\COM3");
    EXPECT_EQ(ResolveComDevice("COM99999999"), "\\\\.\\COM99999999"); // 15 characters, the most there is
    for (const char* none : {"", "COM", "COM0", "COM01", "COM123456789", "COMx", "COM3 ", " COM3", "LPT1", "COM-1"}) {
        SCOPED_TRACE(none);
        EXPECT_EQ(ResolveComDevice(none), "");
    }
}

} // namespace
} // namespace vandrel::serial
