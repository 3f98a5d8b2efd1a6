// The settings of the Win32 window in the registry, under wine in CI.
#include <gtest/gtest.h>

#include <stdexcept>

#include "win32/registry_settings.h"
#include "common/windows_api.h"

namespace vandrel::win32::test {
namespace {

// A key of its own: the user's settings stay as they are.
const wchar_t* const kTestKey = L"Software\\Ostmerin\\Vandrel1 tests";

void DeleteSettingsKey() {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
}

TEST(RegistrySettings, StringValuesWrittenAtOnceAndReadBack) {
    DeleteSettingsKey();
    RegistrySettings settings(kTestKey);
    EXPECT_EQ(settings.ReadSetting("HexFilePath"), ""); // no key yet

    // The first write creates the key; every value is a REG_SZ string.
    const std::string path = "C:\\Users\\ÄÖ\\blink628a.hex";
    settings.WriteSetting("HexFilePath", path);
    settings.WriteSetting("DumpAddress", "2100");
    settings.WriteSetting("DumpAddress", "1F");
    EXPECT_EQ(settings.ReadSetting("HexFilePath"), path);
    EXPECT_EQ(settings.ReadSetting("DumpAddress"), "1F");
    EXPECT_EQ(settings.ReadSetting("PicDevice"), ""); // absent value

    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                              &key),
              ERROR_SUCCESS);
    DWORD type = 0;
    ASSERT_EQ(::RegQueryValueExW(key, L"DumpAddress", nullptr, &type, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    // A value of another type is an error the window shows.
    const DWORD number = 7;
    ASSERT_EQ(::RegSetValueExW(key, L"ComPort", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), sizeof(number)),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_THROW(settings.ReadSetting("ComPort"), std::runtime_error);
    DeleteSettingsKey();
}

} // namespace
} // namespace vandrel::win32::test
