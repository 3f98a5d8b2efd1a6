#pragma once
// The settings as string values (REG_SZ) of
// HKEY_CURRENT_USER\Software\Ostmerin\Vandrel1, each written the moment it is
// chosen. Every call opens the key, does its work and closes it again.
#include <string>
#include <utility>

#include "form/settings_store.h"

namespace vandrel::win32 {

// The key under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kSettingsKey = L"Software\\Ostmerin\\Vandrel1";

class RegistrySettings final : public form::SettingsStore {
public:
    // The values of `key` under HKEY_CURRENT_USER.
    explicit RegistrySettings(std::wstring key = kSettingsKey) : key_(std::move(key)) {}

    // A key that cannot be opened or created is skipped silently; a failure
    // while writing the value throws.
    void WriteSetting(const std::string& name, const std::string& value) override;
    // Empty when the key or the value is missing; a value of another type
    // than string throws.
    std::string ReadSetting(const std::string& name) const override;

private:
    std::wstring key_;
};

} // namespace vandrel::win32
