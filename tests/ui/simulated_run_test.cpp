// The window driving the simulated adapter on COM0 end to end: the operation
// host, the port component's wiring and the stop request through the event loop.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QAction>
#include <QProcess>
#include <QMenuBar>

#include <chrono>
#include <filesystem>

#include "device/pic_device.h"
#include "simulator/sim_programmer.h"
#include "simulator/sim_state_file.h"
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
    void Tick(std::initializer_list<const char*> boxes) {
        for (const char* box : boxes)
            Find<QCheckBox>(box)->setChecked(true);
    }
    void EnterPath(const QString& path) {
        Find<QLineEdit>("edtHexFile")->setText(path);
        QTest::keyClick(Find<QLineEdit>("edtHexFile"), Qt::Key_Return);
    }
    QString ProgramCount() { return Find<QLabel>("edtHexProgram")->text(); }
    // The log from the line that starts with `first`, one line per line.
    std::string LogFrom(const QString& first) {
        const QStringList log = form_->LogText();
        const auto at = std::find_if(log.begin(), log.end(), [&](const QString& l) { return l.startsWith(first); });
        return QStringList(at, log.end()).join('\n').toStdString();
    }
};

TEST_F(SimulatedRunTest, DownloadThenDumpReadsTheWordsBack) {
    WriteSetting(kHexFilePath, WriteHexFile("sim.hex", {{0, 0x2805}, {1, 0x0123}}));
    WriteSetting(kDumpAddress, "0");
    WriteSetting(kDumpSize, "2");
    TForm1& form = Start();
    ASSERT_NE(form.SimulatedChip(), nullptr);
    Find<QCheckBox>("cbWriteProgram")->setChecked(true);

    Click("btnGo");
    EXPECT_TRUE(form.LogText().contains("complete.")) << form.LogText().join('\n').toStdString();
    EXPECT_EQ(form.StatusText(), "Process finished.");
    EXPECT_EQ(Find<QPushButton>("btnGo")->text(), "&Go");
    EXPECT_TRUE(Find<QCheckBox>("cbLVP")->isChecked());
    EXPECT_EQ(form.SimulatedChip()->ReadWord(0), 0x2805);
    EXPECT_EQ(form.CommX1.Handle(), serial::INVALID_HANDLE_VALUE);

    Click("btnDump");
    const QStringList log = form.LogText();
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
    EXPECT_FALSE(form.LogText().contains("complete."));
    EXPECT_EQ(Find<QPushButton>("btnGo")->text(), "&Go");
    EXPECT_TRUE(Find<QPushButton>("btnDump")->isEnabled());
}

TEST_F(SimulatedRunTest, ClosingTheWindowStopsTheOperationThenCloses) {
    std::map<int, int> words;
    for (int address = 0; address < 200; ++address)
        words[address] = 0x100 + address;
    WriteSetting(kHexFilePath, WriteHexFile("close.hex", words));
    WriteSetting(kDumpAddress, "0");
    WriteSetting(kDumpSize, "400");
    for (const char* button : {"btnDump", "btnGo"}) {
        SCOPED_TRACE(button);
        TForm1& form = Start();
        ShowForm();
        Tick({"cbWriteProgram", "cbVerifyProgram"});
        QTimer::singleShot(0, &form, [&] { form.close(); });
        Click(button);
        // The closing steps ran, with the window still up.
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.StatusText(), "Terminated by user.");
        EXPECT_EQ(form.CommX1.Handle(), serial::INVALID_HANDLE_VALUE);
        EXPECT_LT(form.LogText().size(), 0x400);
        EXPECT_FALSE(form.LogText().contains("complete."));
        // Then the window closes.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }));
    }
}

TEST_F(SimulatedRunTest, AStaleImageIsReadAgainBeforeTheRun) {
    namespace fs = std::filesystem;
    const QString first = WriteHexFile("stale.hex", {{0, 0x2805}, {1, 0x0123}});
    WriteSetting(kHexFilePath, first);
    TForm1& form = Start();
    Tick({"cbWriteProgram", "cbVerifyProgram"});
    const auto run = [&](const std::string& reloadLine) {
        const qsizetype before = form.LogText().size();
        Click("btnGo");
        QStringList expected{"<RESET>", "<LOAD PROGRAM MEMORY>", "<RESET>", "<VERIFY PROGRAM MEMORY>", "complete."};
        if (!reloadLine.empty())
            expected.prepend(QString::fromStdString(reloadLine));
        EXPECT_EQ(form.LogText().mid(before).join('\n').toStdString(), expected.join('\n').toStdString());
    };

    // Rebuilt with the same size: only its modification time tells.
    WriteHexFile("stale.hex", {{0, 0x3FF0}, {1, 0x0456}});
    fs::last_write_time(first.toStdString(), fs::last_write_time(first.toStdString()) + std::chrono::seconds(2));
    run("Reloaded " + first.toStdString() + ": the file changed since it was loaded.");
    EXPECT_EQ(form.SimulatedChip()->ReadWord(0), 0x3FF0);
    EXPECT_EQ(form.SimulatedChip()->ReadWord(1), 0x0456);

    run(""); // unchanged: the run as it always was

    // A path typed without Enter.
    const QString second = WriteHexFile("typed.hex", {{0, 0x0777}, {1, 0x0888}, {2, 0x0999}});
    Find<QLineEdit>("edtHexFile")->setText(second);
    run("Reloaded " + second.toStdString() + ": the path names another file.");
    EXPECT_EQ(form.SimulatedChip()->ReadWord(2), 0x0999);
    EXPECT_EQ(ProgramCount(), "3");

    // A path naming no file any more: refused, the chip left alone.
    const std::uint64_t commands = form.SimulatedChip()->CommandsSeen();
    Find<QLineEdit>("edtHexFile")->setText(QDir(TempDir()).filePath("absent.hex"));
    Click("btnGo");
    EXPECT_EQ(dialogs_.Errors, QStringList{"Cannot load hexfile."});
    EXPECT_EQ(form.SimulatedChip()->CommandsSeen(), commands);
}

TEST_F(SimulatedRunTest, AFileWithoutHexRecordsIsRefusedBeforeTheChip) {
    const QString notes = QDir(TempDir()).filePath("notes.hex");
    {
        QFile file(notes);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("This is a readme,\nnot a program.\n");
    }
    const QString refusal = notes + " is not an Intel HEX file: it holds no HEX record.";
    TForm1& form = Start();
    simulator::SimChip& chip = *form.SimulatedChip();
    chip.WriteWord(0, 0x1234);
    Tick({"cbEraseProgram", "cbEraseDataMemory", "cbWriteProgram", "cbVerifyProgram"});

    // Loaded by Enter or by Refer: the error box names it.
    EnterPath(notes);
    dialogs_.Answers = {notes};
    Click("btnOpenHexFile");
    EXPECT_EQ(dialogs_.Errors, (QStringList{refusal, refusal}));

    // Download refuses it whether it was loaded, or the run would load it.
    for (bool cleared : {false, true}) {
        if (cleared)
            Click("btnClearBuffer");
        dialogs_.Errors.clear();
        Click("btnGo");
        EXPECT_EQ(dialogs_.Errors, QStringList{refusal}) << cleared;
    }
    EXPECT_EQ(chip.CommandsSeen(), 0u);
    EXPECT_EQ(chip.LineChanges(), 0u);
    EXPECT_EQ(chip.ReadWord(0), 0x1234);
    EXPECT_FALSE(form.LogText().contains("<RESET>"));

    // Records, but none in the areas: the run's own lines.
    dialogs_.Errors.clear();
    EnterPath(WriteHexFile("eof-only.hex", {}));
    Click("btnGo");
    EXPECT_TRUE(dialogs_.Errors.isEmpty()) << dialogs_.Errors.join('\n').toStdString();
    EXPECT_TRUE(form.LogText().contains(" Can't find Program Data in hex file."));
    EXPECT_EQ(form.LogText().back(), "complete.");
}

TEST_F(SimulatedRunTest, TheRunKeepsItsImageWhileTheWindowChangesIts) {
    std::map<int, int> words;
    for (int address = 0; address < 64; ++address)
        words[address] = 0x2000 + address;
    words[0x2100] = 0x5A;
    WriteSetting(kHexFilePath, WriteHexFile("kept.hex", words));
    const QString other = WriteHexFile("other.hex", {{0, 0x0001}});
    TForm1& form = Start();
    Tick({"cbWriteProgram", "cbWriteDataMemory", "cbVerifyProgram", "cbVerifyDataMemory"});

    // From the run's message pump: Clear Buffer halfway through the program
    // words, another file by Enter during the verify.
    QTimer poll;
    bool cleared = false;
    bool entered = false;
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        const QString status = form.StatusText();
        if (!cleared && status.startsWith("LOAD PROGRAM MEMORY 32/")) {
            cleared = true;
            Click("btnClearBuffer");
            EXPECT_EQ(ProgramCount(), "0");
        } else if (!entered && status.startsWith("VERIFY PROGRAM MEMORY 10/")) {
            entered = true;
            EnterPath(other);
        }
    });
    poll.start(0);
    Click("btnGo");
    poll.stop();
    EXPECT_TRUE(cleared);

    EXPECT_EQ(LogFrom("<LOAD PROGRAM MEMORY>"),
              QStringList({"<LOAD PROGRAM MEMORY>", "<RESET>", "<LOAD EEPROM DATA>", "<RESET>",
                           "<VERIFY PROGRAM MEMORY>", "<RESET>", "<VERIFY EEPROM DATA>", "complete."})
                  .join('\n')
                  .toStdString());
    for (const auto& [address, word] : words)
        EXPECT_EQ(form.SimulatedChip()->ReadWord(address), word) << address;
    EXPECT_EQ(ProgramCount(), "1"); // the window shows the file it was given
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

// The run scripts/wine-window.sh drives the Win32 window through under wine:
// both faces must write this log.
TEST_F(SimulatedRunTest, TheWineWindowRunWritesTheRecordedLog) {
    device::SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
    qputenv("VANDREL1_SIMULATOR", "PIC16F628A");
    ports_ = {{"COM0", "simulated PIC16F628A"}};
    WriteSetting(kHexFilePath, VANDREL_SOURCE_DIR "/examples/blink628a.hex");
    WriteSetting(kComPort, "COM0");
    WriteSetting(kPicDevice, "PIC16F628A");
    WriteSetting(kDumpAddress, "2000");
    WriteSetting(kDumpSize, "8");
    TForm1& form = Start();
    for (const char* all : {"cbEraseAll", "cbWriteAll", "cbVerifyAll"})
        Find<QCheckBox>(all)->setChecked(true);
    Click("btnGo");
    Click("btnDump");
    device::SetDeviceSpecPathOverride(QDir(TempDir()).filePath("picspecs.ini").toStdString());

    QFile recorded(VANDREL_SOURCE_DIR "/tests/data/window_run_628a.log");
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    QStringList expected = QString::fromUtf8(recorded.readAll()).split('\n');
    if (!expected.isEmpty() && expected.back().isEmpty())
        expected.removeLast();
    EXPECT_EQ(form.LogText(), expected);
}

#ifdef VANDREL_CLI_BINARY
// The menu's read gives the file `vandrel1-cli read` gives of the same chip.
TEST_F(SimulatedRunTest, ReadIntoHexFileThroughTheMenuEqualsTheCommandLinesRead) {
    qputenv("VANDREL1_SIMULATOR", "PIC16F628A");
    WriteSetting(kPicDevice, "PIC16F628A");
    TForm1& form = Start();
    simulator::SimChip& chip = *form.SimulatedChip();
    chip.EraseAll();
    for (int a = 0; a < 0x800; a += 5)
        chip.WriteWord(a, static_cast<std::uint16_t>((a * 91) & 0x3FFF));
    chip.WriteWord(0x2001, 0x0005);
    chip.WriteWord(0x2007, 0x3F70);
    for (int a = 0x2100; a < 0x2180; a += 9)
        chip.WriteWord(a, static_cast<std::uint16_t>(a & 0xFF));
    const QString state = TempDir() + "/chip.state";
    ASSERT_EQ(simulator::SaveSimState(chip, state.toStdString()), "");

    // The menu bar sits above the panel.
    ShowForm();
    EXPECT_EQ(form.Widget(form::Control::Panel1)->mapTo(&form, QPoint(0, 0)).y(), form.menuBar()->height());

    const QString path = TempDir() + "/window.hex";
    dialogs_.SaveAnswers = {path};
    form.findChild<QAction*>("actReadChip")->trigger();
    EXPECT_TRUE(dialogs_.Errors.isEmpty()) << dialogs_.Errors.join('\n').toStdString();
    EXPECT_EQ(form.StatusText(), "Process finished.");

    const QString cliPath = TempDir() + "/cli.hex";
    QProcess cli;
    // The same device file as the window's, whose 16F628A has no device ID
    // to check (-f).
    cli.start(VANDREL_CLI_BINARY, {"--spec", QString::fromStdString(device::DeviceSpecPath()), "--simulate",
                                   "PIC16F628A", "--sim-state", state, "-d", "PIC16F628A", "-q", "-f", "read", cliPath});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    QFile window(path), line(cliPath);
    ASSERT_TRUE(window.open(QIODevice::ReadOnly));
    ASSERT_TRUE(line.open(QIODevice::ReadOnly));
    const QByteArray windowText = window.readAll();
    EXPECT_GT(windowText.size(), 1000);
    EXPECT_EQ(windowText.toStdString(), line.readAll().toStdString());
}
#endif

} // namespace
} // namespace vandrel::ui::test
