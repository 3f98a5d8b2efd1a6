#pragma once
// The user's remembered choices: named strings in one per-user store,
// HKEY_CURRENT_USER\Software\Ostmerin\Vandrel1 on Windows and the per-user
// configuration file elsewhere. Each face brings its half.
#include <string>

namespace vandrel::form {

inline constexpr const char* kSettingsOrganization = "Ostmerin";
inline constexpr const char* kSettingsApplication = "Vandrel1";

// Names of the values the window keeps.
inline constexpr const char* kHexFilePath = "HexFilePath";
inline constexpr const char* kDumpAddress = "DumpAddress";
inline constexpr const char* kDumpSize = "DumpSize";
inline constexpr const char* kComPort = "ComPort";
inline constexpr const char* kPicDevice = "PicDevice";
inline constexpr const char* kCheckBeforeWrite = "CheckBeforeWrite"; // "1" or "0"
inline constexpr const char* kFastTiming = "FastTiming";             // "1" or "0"

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Stores one string value at once, replacing an older one. A store that
    // cannot be written is skipped silently.
    virtual void WriteSetting(const std::string& name, const std::string& value) = 0;
    // The stored value, empty when there is none.
    virtual std::string ReadSetting(const std::string& name) const = 0;
};

} // namespace vandrel::form
