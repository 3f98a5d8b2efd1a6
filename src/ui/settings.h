#pragma once
// The user's remembered choices: named strings in one per-user store
// (HKEY_CURRENT_USER\Software\Ostmerin\Vandrel1 on Windows, the per-user
// configuration file elsewhere). Every write reaches the store at once.
#include <QString>

namespace vandrel::ui {

inline constexpr const char* kSettingsOrganization = "Ostmerin";
inline constexpr const char* kSettingsApplication = "Vandrel1";

// Names of the values the window keeps.
inline constexpr const char* kHexFilePath = "HexFilePath";
inline constexpr const char* kDumpAddress = "DumpAddress";
inline constexpr const char* kDumpSize = "DumpSize";
inline constexpr const char* kComPort = "ComPort";
inline constexpr const char* kPicDevice = "PicDevice";

// Stores one string value, replacing an older one. A store that cannot be
// written is skipped silently.
void WriteSetting(const QString& name, const QString& value);

// The stored value, or an empty string when there is none.
QString ReadSetting(const QString& name);

} // namespace vandrel::ui
