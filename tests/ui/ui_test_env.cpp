#include "ui_test_env.h"

#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "device/pic_device.h"
#include "ui/application.h"
#include "ui/settings.h"

namespace vandrel::ui::test {

namespace {

// Two devices with different sizes and LVP flags.
const char* const kTestSpecs = R"([PIC16F84A]
ProgramMemory.Address=0x0000
ProgramMemory.Size=1024
ConfigurationMemory.Address=0x2000
ConfigurationMemory.Size=8
DataMemory.Address=0x2100
DataMemory.Size=64
LVP=0
Timing.Tprog=10
Timing.Tdprog=10
Timing.Tera=10

[PIC16F628A]
ProgramMemory.Address=0x0000
ProgramMemory.Size=2048
ConfigurationMemory.Address=0x2000
ConfigurationMemory.Size=8
DataMemory.Address=0x2100
DataMemory.Size=128
LVP=1
Timing.Tprog=8
Timing.Tdprog=8
Timing.Tera=8
)";

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qunsetenv("VANDREL1_SIMULATOR");
        dir_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(dir_->isValid());
        // Never the user's own settings.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_->filePath("config")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_->filePath("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_->filePath("config"));

        QFile specs(dir_->filePath("picspecs.ini"));
        ASSERT_TRUE(specs.open(QIODevice::WriteOnly));
        specs.write(kTestSpecs);
        specs.close();
        device::SetDeviceSpecPathOverride(specs.fileName().toStdString());

        static int argc = 1;
        static char name[] = "ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<TApplication>(argc, argv);
    }
    void TearDown() override {
        app_.reset();
        device::SetDeviceSpecPathOverride("");
        dir_.reset();
    }
    static QString Dir() { return dir_->path(); }

private:
    static std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TApplication> app_;
};

std::unique_ptr<QTemporaryDir> UiEnvironment::dir_;

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new UiEnvironment);

void ClearSettings() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                    kSettingsApplication);
    store.clear();
    store.sync();
}

} // namespace

QString TempDir() {
    return UiEnvironment::Dir();
}

std::map<QString, QString> StoredSettings() {
    // Read straight from the file, so only what reached the disk shows.
    std::map<QString, QString> values;
    QFile file(QDir(TempDir()).filePath("config/Ostmerin/Vandrel1.conf"));
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith('[') || equals < 0)
            continue;
        QString value = line.mid(equals + 1);
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        values[line.left(equals)] = value;
    }
    return values;
}

QString WriteHexFile(const QString& name, const std::map<int, int>& words) {
    QString text;
    for (const auto& [address, word] : words) {
        const int byteAddress = address * 2;
        const int bytes[] = {2, (byteAddress >> 8) & 0xFF, byteAddress & 0xFF, 0, word & 0xFF,
                             (word >> 8) & 0xFF};
        int sum = 0;
        QString line = ":";
        for (int b : bytes) {
            line += QString::asprintf("%02X", b);
            sum += b;
        }
        line += QString::asprintf("%02X\n", (-sum) & 0xFF);
        text += line;
    }
    text += ":00000001FF\n";
    const QString path = QDir(TempDir()).filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toLatin1());
    return path;
}

void FormTest::SetUp() {
    ClearSettings();
    device::CurrentDevice = {};
    ports_ = {{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyUSB0"}};
}

void FormTest::TearDown() {
    form_.reset();
    device::CurrentDevice = {};
    ClearSettings();
}

TForm1& FormTest::Start() {
    FormServices services;
    services.Dialogs = &dialogs_;
    services.TheClock = &clock_;
    services.Ports = [this] { return ports_; };
    form_ = std::make_unique<TForm1>(std::move(services));
    return *form_;
}

void FormTest::ShowForm() {
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
}

} // namespace vandrel::ui::test
