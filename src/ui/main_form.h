#pragma once
// The main window: every control of the programmer, the log, the status text
// and progress bar the operations report to, the check-box rules, the
// hexadecimal key filter, and the remembered settings.
//
// The window's code is spread by concern: main_form.cpp (start-up, shutdown
// and the event handlers), main_form_layout.cpp (building and placing the
// controls) and main_form_host.cpp (the displays and the operations' side).
// Its parts live beside it: form_controls (control builders, frames, fonts),
// step_group (an All box with its members), status_bar (status text and
// progress bar) and hex_key_filter (the hexadecimal fields' typing).
#include <memory>
#include <string>

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include "common/clock.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"
#include "programmer/operation_host.h"
#include "serial/comm_x.h"
#include "ui/com_port_list.h"
#include "ui/dialog_service.h"
#include "ui/form_controls.h"
#include "ui/status_bar.h"
#include "ui/step_group.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vandrel::serial {
class SimPort;
}
namespace vandrel::simulator {
class SimChip;
}

namespace vandrel::ui {

class THexKeyFilter;

// What the window takes from its surroundings. Tests replace all three.
struct FormServices {
    DialogService* Dialogs = nullptr; // the real boxes when null
    Clock* TheClock = nullptr;        // RealClock::Instance() when null
    PortSource Ports;                 // SystemPorts when empty
};

class TForm1 : public QMainWindow, public programmer::OperationHost {
    Q_OBJECT

public:
    static constexpr int kMinWidth = 640;
    static constexpr int kMinHeight = 480;

    explicit TForm1(FormServices services = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- Start-up and shutdown ---
    void FormCreate();
    void FormDestroy();

    // --- Event handlers ---
    void cmbDeviceListChange();
    void edtHexFileChange();
    void edtHexFileKeyPress(char key);
    void btnOpenHexFileClick();
    void btnClearBufferClick();
    void cmbSerialPortListChange();
    bool cmbSerialPortListDropDown();
    void edtDumpAddressChange();
    void edtDumpSizeChange();
    // The key filter of the two hexadecimal fields: `key` is the typed
    // character, 0 afterwards when it is dropped.
    static void edtHexKeyPress(char& key);
    void cbEraseAllClick();
    void cbEraseGrpClick(QCheckBox* sender);
    void cbWriteAllClick();
    void cbWriteGrpClick(QCheckBox* sender);
    void cbVerifyAllClick();
    void cbVerifyGrpClick(QCheckBox* sender);
    void btnGoClick();
    void btnDumpClick();
    // The size the window may take when `requested` is asked for.
    static QSize FormCanResize(QSize requested);
    void FormResize();

    // --- Displays ---
    void PlaceProgressBar();
    void ListImage();
    void ShowDeviceSizes(int programSize, int dataSize, int configurationSize, bool lvp);
    void ShowStatus(const QString& text);
    void AppendLogLine(const QString& line);
    QStringList LogLines() const;
    QString StatusText() const;
    bool FlashIfEmpty(QLabel* label);

    // --- OperationHost ---
    void ShowStatus(const std::string& text) override;
    void AppendLog(const std::string& line) override;
    void SetProgressMin(std::int32_t value) override;
    void SetProgressMax(std::int32_t value) override;
    void SetProgressPosition(std::int32_t value) override;
    std::int32_t ProgressPosition() const override;
    std::int32_t ProgressMax() const override;
    void ProcessMessages() override;
    bool StopRequested() const override;
    void SetStopRequested(bool value) override;
    bool IsChecked(programmer::StepBox box) const override;
    void TickLvp() override;
    void ErrorBox(const std::string& message) override;
    bool FlashIfEmpty(programmer::RequiredField field) override;
    void ShowImageCounts() override;
    std::string HexFilePath() const override;
    std::string DumpAddressText() const override;
    std::string DumpSizeText() const override;
    std::string PortText() const override;
    std::string ButtonCaption(programmer::OperationButton button) const override;
    void SetButtonCaption(programmer::OperationButton button, const std::string& caption) override;
    void SetButtonEnabled(programmer::OperationButton button, bool enabled) override;
    Clock& GetClock() override;

    // --- Owned objects ---
    serial::TCommX CommX1;
    image::THexFile* HexImage() const { return hexImage_.get(); }
    QProgressBar* ProgressBar() const { return StatusBar1->ProgressBar(); }
    // The simulated chip behind COM0, when the simulator is on.
    simulator::SimChip* SimulatedChip() const { return simChip_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateLog(QWidget* central);
    void ArrangePanel();
    void SetTabOrder();
    void ConnectHandlers();
    void SetUpComm();
    // Runs one event handler; an exception escaping it is shown in an error box.
    template <class F>
    void Guarded(F&& handler);
    // `handler` as the slot of a control's signal, run through Guarded.
    auto Handler(void (TForm1::*handler)());
    void FillPortList();
    bool LoadHexFileQuietly(const QString& path);
    // After a load of `path`: a file read without a single HEX record is named in an error box.
    void ReportNotHexFile(const QString& path);
    // Before a Download: the image brought up to the path field; false when
    // the Download must not start (the box has been shown).
    bool PrepareDownloadImage();
    // Runs an operation's start; a close asked for meanwhile follows its end.
    template <class F>
    void RunOperation(F&& start);
    QLabel* LabelOf(programmer::RequiredField field) const;
    QPushButton* ButtonOf(programmer::OperationButton button) const;

    DialogService& dialogs_;
    Clock& clock_;
    PortSource portSource_;

    std::unique_ptr<image::THexFile> hexImage_;
    std::unique_ptr<programmer::TFarmOperations> farm_;
    std::shared_ptr<serial::SimPort> simPort_;
    std::shared_ptr<simulator::SimChip> simChip_;
    bool stopRequested_ = false;
    bool operationActive_ = false; // a Download or Dump is under way
    bool closePending_ = false;    // the window closes when it ends
    THexKeyFilter* hexKeyFilter_ = nullptr;

public:
    // Controls, under their table names.
    QWidget* Panel1 = nullptr;
    QGroupBox* GrpDeviceSpecs = nullptr;
    QLabel* lblDeviceSelect = nullptr;
    QComboBox* cmbDeviceList = nullptr;
    QLabel* lblProgramMemory = nullptr;
    QLabel* lblProgramMemoryValue = nullptr;
    QLabel* lblConfigurationWord = nullptr;
    QLabel* lblConfigurationWordValue = nullptr;
    QLabel* lblDataMemory = nullptr;
    QLabel* lblDataMemoryValue = nullptr;
    QCheckBox* cbLVP = nullptr;

    QGroupBox* GrpSource = nullptr;
    QLabel* lblHexFileName = nullptr;
    QLineEdit* edtHexFile = nullptr;
    QPushButton* btnOpenHexFile = nullptr;
    QLabel* edtHexP = nullptr;
    QLabel* edtHexProgram = nullptr;
    QLabel* edtHexC = nullptr;
    QLabel* edtHexConfig = nullptr;
    QLabel* edtHexD = nullptr;
    QLabel* edtHexData = nullptr;
    QPushButton* btnClearBuffer = nullptr;
    QPushButton* btnEditMemory = nullptr;

    QGroupBox* GrpPort = nullptr;
    QLabel* lblSerialPort = nullptr;
    TPortComboBox* cmbSerialPortList = nullptr;

    QGroupBox* GrpDump = nullptr;
    QLabel* lblDumpAddress = nullptr;
    QLineEdit* edtDumpAddress = nullptr;
    QLabel* lblDumpSize = nullptr;
    QLineEdit* edtDumpSize = nullptr;
    QCheckBox* cbFarmOnDump = nullptr;
    QPushButton* btnDump = nullptr;

    QGroupBox* GrpCommands = nullptr;
    TStepGroup* GrpErase = nullptr;
    QCheckBox* cbEraseAll = nullptr;
    QCheckBox* cbEraseProgram = nullptr;
    QCheckBox* cbEraseConfigurationMemory = nullptr;
    QCheckBox* cbEraseDataMemory = nullptr;
    TStepGroup* GrpWrite = nullptr;
    QCheckBox* cbWriteAll = nullptr;
    QCheckBox* cbWriteProgram = nullptr;
    QCheckBox* cbWriteConfigurationMemory = nullptr;
    QCheckBox* cbWriteDataMemory = nullptr;
    TStepGroup* GrpVerify = nullptr;
    QCheckBox* cbVerifyAll = nullptr;
    QCheckBox* cbVerifyProgram = nullptr;
    QCheckBox* cbVerifyConfigurationMemory = nullptr;
    QCheckBox* cbVerifyDataMemory = nullptr;
    QCheckBox* cbFarmWare = nullptr;
    QPushButton* btnGo = nullptr;

    QPlainTextEdit* Memo1 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr; // panel 0: the status text
    QLabel* StatusPanel1 = nullptr; // panel 1: left blank
};

} // namespace vandrel::ui
