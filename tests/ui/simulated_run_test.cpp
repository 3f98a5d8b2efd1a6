// The window driving the simulated adapter on COM0 end to end: the operation
// host, the port component's wiring and the stop request through the event loop.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "simulator/sim_programmer.h"
#include "ui/settings.h"
#include "ui_test_env.h"

namespace vandrel::ui::test {
namespace {

class SimulatedRunTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        qputenv("VANDREL1_SIMULATOR", "PIC16F84A");
        ports_ = {{"COM0", "simulated PIC16F84A"}};
        WriteSetting(kPicDevice, "PIC16F84A");
    }
    void TearDown() override {
        FormTest::TearDown();
        qunsetenv("VANDREL1_SIMULATOR");
    }
    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
};

TEST_F(SimulatedRunTest, DownloadThenDumpReadsTheWordsBack) {
    WriteSetting(kHexFilePath, WriteHexFile("sim.hex", {{0, 0x2805}, {1, 0x0123}}));
    WriteSetting(kDumpAddress, "0");
    WriteSetting(kDumpSize, "2");
    TForm1& form = Start();
    ASSERT_NE(form.SimulatedChip(), nullptr);
    Find<QCheckBox>("cbWriteProgram")->setChecked(true);

    Click("btnGo");
    EXPECT_TRUE(form.LogLines().contains("complete.")) << form.LogLines().join('\n').toStdString();
    EXPECT_EQ(form.StatusText(), "Process finished.");
    EXPECT_EQ(Find<QPushButton>("btnGo")->text(), "&Go");
    EXPECT_TRUE(Find<QCheckBox>("cbLVP")->isChecked());
    EXPECT_EQ(form.SimulatedChip()->ReadWord(0), 0x2805);
    EXPECT_EQ(form.CommX1.Handle(), serial::INVALID_HANDLE_VALUE);

    Click("btnDump");
    const QStringList log = form.LogLines();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"0000 2805", "0001 0123"}));
    EXPECT_EQ(Find<QPushButton>("btnDump")->text(), "D&ump");
    EXPECT_TRUE(dialogs_.Errors.isEmpty()) << dialogs_.Errors.join('\n').toStdString();
}

TEST_F(SimulatedRunTest, AStopPressDuringTheRunEndsIt) {
    std::map<int, int> words;
    for (int address = 0; address < 200; ++address)
        words[address] = address;
    WriteSetting(kHexFilePath, WriteHexFile("long.hex", words));
    TForm1& form = Start();
    Find<QCheckBox>("cbWriteProgram")->setChecked(true);

    // Pressed from the event loop while the run pumps its messages.
    QTimer::singleShot(0, &form, [&] {
        EXPECT_EQ(Find<QPushButton>("btnGo")->text(), "&Stop");
        EXPECT_FALSE(Find<QPushButton>("btnDump")->isEnabled());
        Click("btnGo");
    });
    Click("btnGo");
    EXPECT_EQ(form.StatusText(), "Terminated by user.");
    EXPECT_FALSE(form.LogLines().contains("complete."));
    EXPECT_EQ(Find<QPushButton>("btnGo")->text(), "&Go");
    EXPECT_TRUE(Find<QPushButton>("btnDump")->isEnabled());
}

TEST_F(SimulatedRunTest, ClosingTheWindowStopsARunningOperation) {
    WriteSetting(kDumpAddress, "0");
    WriteSetting(kDumpSize, "400");
    TForm1& form = Start();
    ShowForm();
    QTimer::singleShot(0, &form, [&] { form.close(); });
    Click("btnDump");
    EXPECT_EQ(form.StatusText(), "Terminated by user.");
    EXPECT_LT(form.LogLines().size(), 0x400);
    EXPECT_EQ(form.CommX1.Handle(), serial::INVALID_HANDLE_VALUE);
}

TEST_F(SimulatedRunTest, AnUnreadableDumpSizeIsShownAfterTheClosingSteps) {
    WriteSetting(kDumpAddress, "0");
    TForm1& form = Start();
    Find<QLineEdit>("edtDumpSize")->setText("1G"); // pasted: not filtered
    Click("btnDump");
    EXPECT_EQ(dialogs_.Errors, QStringList{"'$1G' is not a valid integer value"});
    EXPECT_EQ(form.StatusText(), "Process finished.");
    EXPECT_EQ(Find<QPushButton>("btnDump")->text(), "D&ump");
    EXPECT_EQ(form.CommX1.Handle(), serial::INVALID_HANDLE_VALUE);
}

TEST_F(SimulatedRunTest, AMissingPortFlashesItsLabel) {
    ports_.clear();
    TForm1& form = Start();
    const auto waitsBefore = clock_.WaitCount();
    Click("btnGo");
    EXPECT_EQ(clock_.WaitCount() - waitsBefore, 8);
    EXPECT_EQ(form.StatusText(), "Process finished.");
    EXPECT_EQ(form.focusWidget(), Find<QWidget>("cmbSerialPortList"));
}

} // namespace
} // namespace vandrel::ui::test
