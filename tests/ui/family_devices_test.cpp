// Every device of the shipped picspecs.ini, erased, written and verified
// through the window on the simulated adapter (COM0).
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include "device/pic_device.h"
#include "simulator/sim_programmer.h"
#include "ui/settings.h"
#include "ui_test_env.h"

namespace vandrel::ui::test {
namespace {

class FamilyDevicesTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        device::SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
        ports_ = {{"COM0", "simulated adapter"}};
    }
    void TearDown() override {
        FormTest::TearDown();
        qunsetenv("VANDREL1_SIMULATOR");
        device::SetDeviceSpecPathOverride(QDir(TempDir()).filePath("picspecs.ini").toStdString());
    }
};

// The test program of a device: its own for the newer chips, the example
// program for the four one-word chips.
QString ProgramFor(const QString& device) {
    const QString source = VANDREL_SOURCE_DIR;
    if (device == "PIC16F84A" || (device.startsWith("PIC16F6") && device.endsWith("A")))
        return source + "/examples/blink628a.hex";
    return source + "/tests/data/programs/" + device.toLower() + ".hex";
}

TEST_F(FamilyDevicesTest, EachOfTheSixteenDevicesIsProgrammedOnComZero) {
    std::vector<std::string> names;
    device::GetDeviceList(names);
    ASSERT_EQ(names.size(), 65u);
    names.resize(16); // the devices with a test program of their own here
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const QString device = QString::fromStdString(name);
        qputenv("VANDREL1_SIMULATOR", device.toLatin1());
        WriteSetting(kPicDevice, device);
        WriteSetting(kHexFilePath, ProgramFor(device));
        TForm1& form = Start();
        EXPECT_EQ(Find<QComboBox>("cmbDeviceList")->count(), 65);
        EXPECT_EQ(Find<QComboBox>("cmbDeviceList")->currentText(), device);
        simulator::SimChip* chip = form.SimulatedChip();
        ASSERT_NE(chip, nullptr);
        for (const char* box : {"cbEraseProgram", "cbEraseDataMemory", "cbWriteProgram", "cbWriteConfigurationMemory",
                                "cbWriteDataMemory", "cbVerifyProgram", "cbVerifyConfigurationMemory",
                                "cbVerifyDataMemory"})
            Find<QCheckBox>(box)->setChecked(true);

        QTest::mouseClick(Find<QPushButton>("btnGo"), Qt::LeftButton);

        EXPECT_EQ(form.LogText().last(), "complete.") << form.LogText().join('\n').toStdString();
        EXPECT_EQ(form.StatusText(), "Process finished.");
        EXPECT_TRUE(chip->Violations().empty());
        EXPECT_FALSE(chip->CalibrationLost());
        EXPECT_NE(chip->ReadWord(0), 0x3FFF) << "the program's first word";
        EXPECT_FALSE(form.LogText().join('\n').contains("Can't find"));
        EXPECT_TRUE(dialogs_.Errors.isEmpty());
    }
}

} // namespace
} // namespace vandrel::ui::test
