#include "ui/settings.h"

#include <QSettings>

namespace vandrel::ui {

void WriteSetting(const QString& name, const QString& value) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                    kSettingsApplication);
    if (!store.isWritable())
        return;
    store.setValue(name, value);
    store.sync();
}

QString ReadSetting(const QString& name) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                    kSettingsApplication);
    const QVariant value = store.value(name);
    return value.isValid() ? value.toString() : QString();
}

} // namespace vandrel::ui
