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

namespace vandrel::ui {

void QtSettingsStore::WriteSetting(const std::string& name, const std::string& value) {
    ui::WriteSetting(QString::fromStdString(name), QString::fromStdString(value));
}

std::string QtSettingsStore::ReadSetting(const std::string& name) const {
    return ui::ReadSetting(QString::fromStdString(name)).toStdString();
}

QtSettingsStore& QtSettingsStore::Instance() {
    static QtSettingsStore instance;
    return instance;
}

} // namespace vandrel::ui
