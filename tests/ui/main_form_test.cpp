#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <tuple>

#include "device/pic_device.h"
#include "ui/application.h"
#include "ui/settings.h"
#include "ui_test_env.h"

namespace vandrel::ui::test {
namespace {

using programmer::RequiredField;

class MainFormTest : public FormTest {
protected:
    QString Text(const char* label) { return Find<QLabel>(label)->text(); }
    QStringList Counts() { return {Text("edtHexProgram"), Text("edtHexConfig"), Text("edtHexData")}; }
    QStringList Sizes() {
        return {Text("lblProgramMemoryValue"), Text("lblConfigurationWordValue"),
                Text("lblDataMemoryValue")};
    }
    QStringList Items(const char* name) {
        QStringList items;
        auto* list = Find<QComboBox>(name);
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items;
    }
};

TEST_F(MainFormTest, FirstStartSelectsTheFirstPortAndWritesNothing) {
    ports_ = {{"COM3", "/dev/ttyUSB0"}, {"COM1", "/dev/ttyS0"}};
    TForm1& form = Start();

    EXPECT_EQ(form.windowTitle(), "Vandrel1");
    EXPECT_EQ(Items("cmbSerialPortList"), (QStringList{"COM1", "COM3"}));
    EXPECT_EQ(Find<QComboBox>("cmbSerialPortList")->currentText(), "COM1");
    EXPECT_EQ(Items("cmbDeviceList"), (QStringList{"PIC16F84A", "PIC16F628A"}));
    EXPECT_EQ(Find<QComboBox>("cmbDeviceList")->currentIndex(), -1);
    EXPECT_TRUE(device::CurrentDevice.Name.empty());
    for (const char* field : {"edtHexFile", "edtDumpAddress", "edtDumpSize"})
        EXPECT_TRUE(Find<QLineEdit>(field)->text().isEmpty()) << field;
    EXPECT_EQ(Sizes(), (QStringList{"0", "0", "0"}));
    EXPECT_EQ(Counts(), (QStringList{"0", "0", "0"}));
    EXPECT_TRUE(form.LogText().isEmpty());
    EXPECT_TRUE(form.StatusText().isEmpty());
    EXPECT_TRUE(StoredSettings().empty()); // selecting from the program writes nothing
    EXPECT_TRUE(dialogs_.Errors.isEmpty());
}

TEST_F(MainFormTest, RestoresEverySetting) {
    const QString hex = WriteHexFile("restore.hex", {{0, 0x2805}, {1, 0x3FFF}, {0x2007, 0x3FF1},
                                                     {0x2100, 0x12}, {0x2101, 0x34}, {0x2102, 0x56}});
    WriteSetting(kHexFilePath, hex);
    WriteSetting(kDumpAddress, "2100");
    WriteSetting(kDumpSize, "1F");
    WriteSetting(kComPort, "COM3");
    WriteSetting(kPicDevice, "PIC16F628A");
    TForm1& form = Start();

    EXPECT_EQ(Find<QLineEdit>("edtHexFile")->text(), hex);
    EXPECT_EQ(Find<QLineEdit>("edtDumpAddress")->text(), "2100");
    EXPECT_EQ(Find<QLineEdit>("edtDumpSize")->text(), "1F");
    EXPECT_EQ(Find<QComboBox>("cmbSerialPortList")->currentText(), "COM3");
    EXPECT_EQ(Find<QComboBox>("cmbDeviceList")->currentText(), "PIC16F628A");
    EXPECT_EQ(device::CurrentDevice.Name, "PIC16F628A");
    EXPECT_EQ(Sizes(), (QStringList{"2048", "8", "128"}));
    EXPECT_TRUE(Find<QCheckBox>("cbLVP")->isEnabled());
    EXPECT_EQ(Counts(), (QStringList{"2", "1", "3"}));
    EXPECT_TRUE(form.LogText().isEmpty()); // a restored image is not listed
    EXPECT_EQ(StoredSettings()[kPicDevice], "PIC16F628A");
}

TEST_F(MainFormTest, VanishedPortAndHexFileLeaveTheirFieldsAsStored) {
    const QString hex = WriteHexFile("gone.hex", {{0, 0x2805}});
    QFile::remove(hex);
    WriteSetting(kHexFilePath, hex);
    WriteSetting(kComPort, "COM7");
    WriteSetting(kPicDevice, "PIC16F999"); // no longer in the device file
    TForm1& form = Start();

    EXPECT_EQ(Find<QLineEdit>("edtHexFile")->text(), hex);
    EXPECT_EQ(form.HexImage()->CountWords({0, 0x3FFF}), 0);
    EXPECT_EQ(Find<QComboBox>("cmbSerialPortList")->currentIndex(), -1);
    EXPECT_EQ(form.PortText(), "");
    EXPECT_EQ(Find<QComboBox>("cmbDeviceList")->currentIndex(), -1);
    EXPECT_TRUE(device::CurrentDevice.Name.empty());
    EXPECT_TRUE(dialogs_.Errors.isEmpty());
    EXPECT_EQ(StoredSettings()[kComPort], "COM7");
    EXPECT_EQ(StoredSettings()[kPicDevice], "PIC16F999");
}

TEST_F(MainFormTest, SettingsAreWrittenOnUserChangesOnly) {
    Start();
    ShowForm();
    auto* address = Find<QLineEdit>("edtDumpAddress");
    QTest::keyClicks(address, "2a");
    EXPECT_EQ(StoredSettings()[kDumpAddress], "2A");
    address->clear(); // emptying keeps the last value stored
    EXPECT_EQ(StoredSettings()[kDumpAddress], "2A");

    auto* hexFile = Find<QLineEdit>("edtHexFile");
    hexFile->setText(QDir(TempDir()).filePath("missing.hex"));
    EXPECT_EQ(StoredSettings().count(kHexFilePath), 0u);
    const QString hex = WriteHexFile("typed.hex", {{0, 1}});
    hexFile->setText(hex);
    EXPECT_EQ(StoredSettings()[kHexFilePath], hex);

    auto* ports = Find<QComboBox>("cmbSerialPortList");
    EXPECT_EQ(StoredSettings().count(kComPort), 0u);
    QTest::keyClick(ports, Qt::Key_Down); // the user picks COM3
    EXPECT_EQ(StoredSettings()[kComPort], "COM3");

    auto* devices = Find<QComboBox>("cmbDeviceList");
    QTest::keyClick(devices, Qt::Key_Down);
    EXPECT_EQ(devices->currentText(), "PIC16F84A");
    EXPECT_EQ(StoredSettings()[kPicDevice], "PIC16F84A");
    EXPECT_EQ(Sizes(), (QStringList{"1024", "8", "64"}));
    EXPECT_FALSE(Find<QCheckBox>("cbLVP")->isEnabled());
}

TEST_F(MainFormTest, CheckBoxRules) {
    Start();
    ShowForm();
    auto* writeAll = Find<QCheckBox>("cbWriteAll");
    auto* writeProgram = Find<QCheckBox>("cbWriteProgram");
    auto* writeConfig = Find<QCheckBox>("cbWriteConfigurationMemory");
    auto* writeData = Find<QCheckBox>("cbWriteDataMemory");
    QTest::mouseClick(writeAll, Qt::LeftButton);
    EXPECT_TRUE(writeProgram->isChecked() && writeConfig->isChecked() && writeData->isChecked());
    QTest::mouseClick(writeData, Qt::LeftButton);
    EXPECT_FALSE(writeAll->isChecked());
    EXPECT_TRUE(writeProgram->isChecked() && writeConfig->isChecked());
    writeData->setChecked(true); // a change by the program runs the same rules
    EXPECT_FALSE(writeAll->isChecked());

    auto* eraseAll = Find<QCheckBox>("cbEraseAll");
    auto* eraseConfig = Find<QCheckBox>("cbEraseConfigurationMemory");
    EXPECT_FALSE(eraseConfig->isVisible());
    eraseAll->setChecked(true);
    eraseAll->setChecked(false);
    EXPECT_TRUE(Find<QCheckBox>("cbEraseProgram")->isChecked());
    EXPECT_TRUE(eraseConfig->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("cbEraseDataMemory")->isChecked());
    eraseAll->setChecked(true);
    eraseConfig->setChecked(false); // the hidden member unticks "All" too
    EXPECT_FALSE(eraseAll->isChecked());

    auto* verifyAll = Find<QCheckBox>("cbVerifyAll");
    verifyAll->setChecked(true);
    EXPECT_TRUE(form_->IsChecked(programmer::StepBox::VerifyConfigurationMemory));
    Find<QCheckBox>("cbVerifyProgram")->setChecked(false);
    EXPECT_FALSE(verifyAll->isChecked());
    EXPECT_FALSE(form_->IsChecked(programmer::StepBox::VerifyProgram));
    EXPECT_TRUE(form_->IsChecked(programmer::StepBox::FarmWare));
    EXPECT_TRUE(form_->IsChecked(programmer::StepBox::FarmOnDump));
}

TEST_F(MainFormTest, HexFieldsTakeOnlyHexDigitsInUpperCase) {
    Start();
    ShowForm();
    auto* address = Find<QLineEdit>("edtDumpAddress");
    QTest::keyClicks(address, "g $1a");
    EXPECT_EQ(address->text(), "1A");
    QTest::keyClick(address, Qt::Key_Backspace);
    EXPECT_EQ(address->text(), "1");
    QTest::keyClicks(address, "fF9");
    EXPECT_EQ(address->text(), "1FF9");
    // Characters typed with Alt, AltGr (Ctrl+Alt) or Meta go through the same filter.
    for (const auto& [key, text, modifiers] :
         {std::tuple{Qt::Key_G, "g", Qt::KeyboardModifiers(Qt::AltModifier)},
          std::tuple{Qt::Key_Dollar, "$", Qt::ControlModifier | Qt::AltModifier},
          std::tuple{Qt::Key_X, "x", Qt::KeyboardModifiers(Qt::MetaModifier)}}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QCoreApplication::sendEvent(address, &press);
    }
    EXPECT_EQ(address->text(), "1FF9");
    QKeyEvent altGrE(QEvent::KeyPress, Qt::Key_E, Qt::ControlModifier | Qt::AltModifier, "e");
    QCoreApplication::sendEvent(address, &altGrE);
    EXPECT_EQ(address->text(), "1FF9E");

    // Pasted or restored text is not filtered, only shown in upper case, so
    // the dump still sees and reports what is not hexadecimal.
    auto* size = Find<QLineEdit>("edtDumpSize");
    size->setText("zz10");
    EXPECT_EQ(size->text(), "ZZ10");
    EXPECT_EQ(form_->DumpSizeText(), "ZZ10");
    EXPECT_EQ(StoredSettings()[kDumpSize], "ZZ10");
}

TEST_F(MainFormTest, HexFileComesInByReferEnterAndClearBufferEmptiesIt) {
    TForm1& form = Start();
    Find<QComboBox>("cmbDeviceList")->setCurrentIndex(0);
    form.cmbDeviceListChange();
    const QString hex = WriteHexFile("refer.hex", {{0x10, 0x2805}, {0x11, 0x3FFF}, {0x2100, 7}});

    dialogs_.Answers = {std::nullopt};
    QTest::mouseClick(Find<QPushButton>("btnOpenHexFile"), Qt::LeftButton);
    EXPECT_EQ(dialogs_.OpenFileCalls, 1);
    EXPECT_EQ(dialogs_.LastFilter, "IntelHEXファイル(*.hex)");
    EXPECT_TRUE(Find<QLineEdit>("edtHexFile")->text().isEmpty()); // cancelled

    dialogs_.Answers = {hex};
    QTest::mouseClick(Find<QPushButton>("btnOpenHexFile"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>("edtHexFile")->text(), hex);
    EXPECT_EQ(form.LogText(),
              (QStringList{"0010: 2805 3FFF ---- ---- ---- ---- ---- ----",
                           "2100: 0007 ---- ---- ---- ---- ---- ---- ----"}));
    EXPECT_EQ(form.LogText().front().size(), 45);
    EXPECT_EQ(Counts(), (QStringList{"2", "0", "1"}));

    QTest::mouseClick(Find<QPushButton>("btnOpenHexFile"), Qt::LeftButton);
    EXPECT_EQ(dialogs_.LastInitialFile, hex); // an existing file is offered again

    QTest::mouseClick(Find<QPushButton>("btnClearBuffer"), Qt::LeftButton);
    EXPECT_EQ(Counts(), (QStringList{"0", "0", "0"}));
    EXPECT_EQ(form.LogText().size(), 2); // the log stays

    QTest::keyClick(Find<QLineEdit>("edtHexFile"), Qt::Key_Return);
    EXPECT_EQ(Counts(), (QStringList{"2", "0", "1"}));
    EXPECT_EQ(form.LogText().size(), 2); // Enter loads without listing
    EXPECT_TRUE(dialogs_.Errors.isEmpty());

    const QString missing = QDir(TempDir()).filePath("nothere.hex");
    Find<QLineEdit>("edtHexFile")->setText(missing);
    QTest::keyClick(Find<QLineEdit>("edtHexFile"), Qt::Key_Return);
    EXPECT_EQ(dialogs_.Errors, QStringList{"Can't load file:" + missing});
    EXPECT_EQ(Counts(), (QStringList{"2", "0", "1"})); // a missing file leaves the image

    // An empty file fails too, but has emptied the image: the counts follow it.
    const QString empty = QDir(TempDir()).filePath("empty.hex");
    ASSERT_TRUE(QFile(empty).open(QIODevice::WriteOnly));
    Find<QLineEdit>("edtHexFile")->setText(empty);
    QTest::keyClick(Find<QLineEdit>("edtHexFile"), Qt::Key_Return);
    EXPECT_EQ(dialogs_.Errors.size(), 2);
    EXPECT_EQ(dialogs_.Errors.back(), "Can't load file:" + empty);
    EXPECT_EQ(form.HexImage()->CountWords({0, 0x4000}), 0);
    EXPECT_EQ(Counts(), (QStringList{"0", "0", "0"}));
}

TEST_F(MainFormTest, QtsFileDialogShowsTheReferFilterOnceAndListsHexFilesOnly) {
    Start();
    dialogs_.Answers = {std::nullopt};
    QTest::mouseClick(Find<QPushButton>("btnOpenHexFile"), Qt::LeftButton);
    ASSERT_EQ(dialogs_.OpenFileCalls, 1);

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(dialogs_.LastFilter);
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->count(), 1);
    EXPECT_EQ(types->currentText(), "IntelHEXファイル(*.hex)");
    auto* files = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->nameFilters(), QStringList{"*.hex"});
}

TEST_F(MainFormTest, TheLogShowsNoTextCursorAndItsTextCanBeCopied) {
    TForm1& form = Start();
    ShowForm();
    form.AppendLogLine("0000 2805");
    form.AppendLogLine("0001 3FFF");
    auto* memo = Find<QPlainTextEdit>("Memo1");

    // A steady cursor rather than a blinking one, so that one picture shows it.
    const int flashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
    memo->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return memo->hasFocus(); }));
    const QImage focused = memo->viewport()->grab().toImage();
    Find<QLineEdit>("edtHexFile")->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !memo->hasFocus(); }));
    const QImage unfocused = memo->viewport()->grab().toImage();
    QApplication::setCursorFlashTime(flashTime);
    EXPECT_TRUE(focused == unfocused) << "the focused log draws something more: a text cursor";

    // Keyboard: select the first line and copy it; typing changes nothing.
    memo->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(memo, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "0000 2805");
    QTest::keyClicks(memo, "x");
    QTest::keyClick(memo, Qt::Key_Delete);
    EXPECT_EQ(form.LogText(), (QStringList{"0000 2805", "0001 3FFF"}));

    // Mouse: a double click selects the word under it.
    const QRect second = memo->cursorRect(QTextCursor(memo->document()->findBlockByNumber(1)));
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, second.center() + QPoint(8, 0));
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "0001");
}

TEST_F(MainFormTest, ListImageOfTheLastWord) {
    TForm1& form = Start();
    form.HexImage()->SetWord(0x3FFF, 0x0123);
    form.ListImage();
    EXPECT_EQ(form.LogText(),
              QStringList{"3FF8: ---- ---- ---- ---- ---- ---- ---- 0123"});
}

TEST_F(MainFormTest, ChecksumErrorIsShownWithItsLine) {
    QString path = QDir(TempDir()).filePath("badsum.hex");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(":020000000528D1\n:0200020005280F\n:00000001FF\n");
    file.close();
    Start();
    dialogs_.Answers = {path};
    QTest::mouseClick(Find<QPushButton>("btnOpenHexFile"), Qt::LeftButton);
    ASSERT_EQ(dialogs_.Errors.size(), 1);
    EXPECT_TRUE(dialogs_.Errors.front().startsWith("HexFile CHKSUM Error at Line:"))
        << dialogs_.Errors.front().toStdString();
}

TEST_F(MainFormTest, SizeLimitAndProgressBarFollowTheStatusBar) {
    TForm1& form = Start();
    ShowForm();
    EXPECT_EQ(form.size(), QSize(640, 480));
    form.resize(500, 300);
    EXPECT_EQ(form.size(), QSize(640, 480));
    EXPECT_EQ(TForm1::FormCanResize({100, 900}), QSize(640, 900));

    form.resize(900, 600);
    auto* status = Find<QStatusBar>("StatusBar1");
    auto* bar = Find<QProgressBar>("ProgressBar");
    ASSERT_TRUE(QTest::qWaitFor([&] { return status->width() == 900; }));
    EXPECT_EQ(bar->parentWidget(), status);
    EXPECT_EQ(bar->geometry(), QRect(252, 2, 900 - 252, status->height() - 2));
    EXPECT_EQ(Find<QGroupBox>("GrpCommands")->geometry().right(), 899);

    // An empty range shows an empty bar, not Qt's busy animation.
    form.SetProgressMax(0);
    EXPECT_EQ(form.ProgressMax(), 0);
    EXPECT_GT(bar->maximum(), bar->minimum());
    form.SetProgressMax(10);
    form.SetProgressPosition(4);
    EXPECT_EQ(bar->value(), 4);
    EXPECT_EQ(form.ProgressPosition(), 4);
}

TEST_F(MainFormTest, OpeningThePortListRefreshesIt) {
    WriteSetting(kComPort, "COM3");
    Start();
    auto* list = static_cast<TPortComboBox*>(Find<QComboBox>("cmbSerialPortList"));
    EXPECT_EQ(list->currentText(), "COM3");
    EXPECT_EQ(list->toolTip(), "/dev/ttyUSB0");

    ports_.push_back({"COM2", "/dev/ttyUSB1"});
    form_->cmbSerialPortListDropDown();
    EXPECT_EQ(Items("cmbSerialPortList"), (QStringList{"COM1", "COM2", "COM3"}));
    EXPECT_EQ(list->currentText(), "COM3");

    ports_ = {{"COM1", "/dev/ttyS0"}}; // the adapter on COM3 was unplugged
    form_->cmbSerialPortListDropDown();
    EXPECT_EQ(Items("cmbSerialPortList"), QStringList{"COM1"});
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(StoredSettings()[kComPort], "COM3");
}

TEST_F(MainFormTest, FlashIfEmptyFlashesFourTimesThenFocusesTheField) {
    // Records the label's colour at every wait of the flash.
    class ColourClock : public Clock {
    public:
        std::int64_t NowMs() const override { return now; }
        void WaitMs(std::int64_t ms) override {
            now += ms;
            waits.push_back(ms);
            colours.push_back(label->palette().color(QPalette::WindowText));
        }
        QLabel* label = nullptr;
        std::int64_t now = 0;
        std::vector<std::int64_t> waits;
        std::vector<QColor> colours;
    } clock;

    ports_.clear();
    FormServices services;
    services.Dialogs = &dialogs_;
    services.TheClock = &clock;
    services.Ports = [this] { return ports_; };
    form_ = std::make_unique<TForm1>(std::move(services));
    ShowForm();
    auto* label = Find<QLabel>("lblSerialPort");
    clock.label = label;
    const QColor normal = label->palette().color(QPalette::WindowText);

    EXPECT_TRUE(form_->FlashIfEmpty(RequiredField::SerialPort));
    ASSERT_EQ(clock.waits, std::vector<std::int64_t>(8, 300));
    for (std::size_t i = 0; i < clock.colours.size(); ++i)
        EXPECT_EQ(clock.colours[i], i % 2 == 0 ? QColor(255, 0, 0) : normal) << i;
    EXPECT_EQ(label->palette().color(QPalette::WindowText), normal);
    EXPECT_EQ(form_->focusWidget(), Find<QComboBox>("cmbSerialPortList"));

    Find<QLineEdit>("edtDumpAddress")->setText("0");
    EXPECT_FALSE(form_->FlashIfEmpty(RequiredField::DumpAddress));
    EXPECT_EQ(clock.waits.size(), 8u);
}

TEST_F(MainFormTest, ABadPortNameIsShownAndTheWindowGoesOn) {
    ports_ = {{"COM1", "/dev/ttyS0"}, {"CNCA0", "virtual"}, {"COM3", "/dev/ttyUSB0"}};
    WriteSetting(kPicDevice, "PIC16F84A");
    TForm1& form = Start();
    EXPECT_EQ(dialogs_.Errors, QStringList{"'A0' is not a valid integer value"});
    EXPECT_EQ(Items("cmbSerialPortList"), QStringList{"COM1"});
    // The device list is still filled and the device restored.
    EXPECT_EQ(device::CurrentDevice.Name, "PIC16F84A");

    ShowForm();
    QTest::mouseClick(Find<QComboBox>("cmbSerialPortList"), Qt::LeftButton); // opens the list
    EXPECT_EQ(dialogs_.Errors.size(), 2);
    EXPECT_TRUE(form.isVisible());
    QTest::keyClicks(Find<QLineEdit>("edtDumpAddress"), "12");
    EXPECT_EQ(Find<QLineEdit>("edtDumpAddress")->text(), "12");
}

TEST_F(MainFormTest, TheApplicationShowsAnEscapedErrorAndGoesOn) {
    class Thrower : public QObject {
    public:
        bool event(QEvent* event) override {
            if (event->type() == QEvent::User)
                throw std::runtime_error("boom");
            return QObject::event(event);
        }
    } thrower;
    TApplication::SetDialogService(&dialogs_);
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    TApplication::SetDialogService(nullptr);
    EXPECT_EQ(dialogs_.Errors, QStringList{"boom"});
}

} // namespace
} // namespace vandrel::ui::test
