#pragma once
// The user's remembered choices in QSettings' native store: the registry key
// HKEY_CURRENT_USER\Software\Ostmerin\Vandrel1 on Windows, the per-user
// configuration file elsewhere. Every write reaches the store at once.
#include <QString>

#include "form/settings_store.h"

namespace vandrel::ui {

using form::kComPort;
using form::kDumpAddress;
using form::kDumpSize;
using form::kHexFilePath;
using form::kPicDevice;
using form::kSettingsApplication;
using form::kSettingsOrganization;

// Stores one string value, replacing an older one. A store that cannot be
// written is skipped silently.
void WriteSetting(const QString& name, const QString& value);

// The stored value, or an empty string when there is none.
QString ReadSetting(const QString& name);

// The window's settings store on the two functions above.
class QtSettingsStore final : public form::SettingsStore {
public:
    void WriteSetting(const std::string& name, const std::string& value) override;
    std::string ReadSetting(const std::string& name) const override;
    static QtSettingsStore& Instance();
};

} // namespace vandrel::ui
