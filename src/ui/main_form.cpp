#include "ui/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QPainter>
#include <qdrawutil.h>
#include <QTextBlock>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "common/convert.h"
#include "device/pic_device.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_programmer.h"
#include "ui/application.h"
#include "ui/settings.h"

namespace vandrel::ui {

using device::CurrentDevice;
using programmer::kStopCaption;
using programmer::OperationButton;
using programmer::RequiredField;
using programmer::StepBox;

namespace {

constexpr int kPanelHeight = 217;
constexpr int kStatusBarHeight = 19;
constexpr int kStatusPanel0Width = 250;
constexpr int kStatusPanel1Width = 50;
constexpr int kFlashes = 4;
constexpr int kFlashHalfMs = 300;

constexpr int kEditHeight = 20;
constexpr int kButtonHeight = 21;
constexpr int kCheckHeight = 17;

const char* const kHexFilter = "IntelHEXファイル(*.hex) (*.hex)";

// A group box whose caption sits on the top line of its frame, so that the
// controls keep their places from the top edge of the box. The step groups
// have no caption: their "All" box takes its place.
class TFrameGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics = fontMetrics();
        // An etched line, drawn here: styles place their own group frame
        // below a caption.
        qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(),
                       true, 1, 0);
        if (title().isEmpty())
            return;
        const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        painter.fillRect(caption, palette().window());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter, title());
    }
};

// The dump fields show their text in upper case: whatever reaches them
// (typed, pasted, restored) is turned to upper case and otherwise kept as it
// is, so that text which is not hexadecimal still reaches the dump, which
// reports it.
class TUpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                  int width = -1) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->adjustSize();
    label->move(left, top);
    if (width >= 0)
        label->resize(std::max(width, label->width()), label->height());
    return label;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    // Never narrower than the caption in the font of this system.
    box->setGeometry(left, top, std::max(width, box->sizeHint().width()), kCheckHeight);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(left, top, width, kButtonHeight);
    return button;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(left, top, width, kEditHeight);
    return edit;
}

template <class Group>
Group* MakeGroup(QWidget* parent, const char* name, const QString& caption) {
    auto* group = new Group(caption, parent);
    group->setObjectName(name);
    return group;
}

QString FieldText(const QWidget* field) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(field))
        return edit->text();
    if (const auto* list = qobject_cast<const QComboBox*>(field))
        return list->currentText();
    return {};
}

} // namespace

void TPortComboBox::showPopup() {
    if (OnDropDown && !OnDropDown())
        return;
    QComboBox::showPopup();
}

template <class F>
void TForm1::Guarded(F&& handler) {
    try {
        handler();
    } catch (...) {
        ShowException(this, &dialogs_);
    }
}

TForm1::TForm1(FormServices services, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(services.Dialogs ? *services.Dialogs : QtDialogService::Instance()),
      clock_(services.TheClock ? *services.TheClock : RealClock::Instance()),
      portSource_(std::move(services.Ports)) {
    setObjectName("Form1");
    setWindowTitle("Vandrel1");
    ApplyFonts();
    CreateControls();
    SetTabOrder();
    ConnectHandlers();
    SetUpComm();
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    Guarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
    FormDestroy();
}

// ---------------------------------------------------------------------------
// Controls

void TForm1::CreateControls() {
    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    Panel1 = new QWidget(central);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(kPanelHeight);
    Panel1->installEventFilter(this);
    column->addWidget(Panel1);

    // Device
    GrpDeviceSpecs = MakeGroup<TFrameGroupBox>(Panel1, "GrpDeviceSpecs", "Device");
    lblDeviceSelect = MakeLabel(GrpDeviceSpecs, "lblDeviceSelect", "Target &PIC Device", 16, 16);
    cmbDeviceList = new QComboBox(GrpDeviceSpecs);
    cmbDeviceList->setObjectName("cmbDeviceList");
    cmbDeviceList->setEditable(false);
    cmbDeviceList->setGeometry(16, 29, 169, kEditHeight);
    lblDeviceSelect->setBuddy(cmbDeviceList);
    lblProgramMemory = MakeLabel(GrpDeviceSpecs, "lblProgramMemory", "Program", 256, 8, 65);
    lblProgramMemoryValue = MakeLabel(GrpDeviceSpecs, "lblProgramMemoryValue", "0", 328, 8, 41);
    lblConfigurationWord =
        MakeLabel(GrpDeviceSpecs, "lblConfigurationWord", "User/Config", 256, 24, 65);
    lblConfigurationWordValue =
        MakeLabel(GrpDeviceSpecs, "lblConfigurationWordValue", "0", 328, 24, 41);
    lblDataMemory = MakeLabel(GrpDeviceSpecs, "lblDataMemory", "Data", 256, 40, 65);
    lblDataMemoryValue = MakeLabel(GrpDeviceSpecs, "lblDataMemoryValue", "0", 328, 40, 41);
    cbLVP = MakeCheckBox(GrpDeviceSpecs, "cbLVP", "&LVP", 368, 38, 65);

    // Data Source
    GrpSource = MakeGroup<TFrameGroupBox>(Panel1, "GrpSource", "Data Source");
    lblHexFileName = MakeLabel(GrpSource, "lblHexFileName", "Intel&Hex", 17, 16);
    edtHexFile = MakeEdit(GrpSource, "edtHexFile", 15, 29, 170);
    lblHexFileName->setBuddy(edtHexFile);
    btnOpenHexFile = MakeButton(GrpSource, "btnOpenHexFile", "&Refer", 192, 28, 56);
    edtHexP = MakeLabel(GrpSource, "edtHexP", "Program", 256, 8, 57);
    edtHexProgram = MakeLabel(GrpSource, "edtHexProgram", "0", 328, 8, 49);
    edtHexC = MakeLabel(GrpSource, "edtHexC", "User/Config", 256, 24, 65);
    edtHexConfig = MakeLabel(GrpSource, "edtHexConfig", "0", 328, 24, 49);
    edtHexD = MakeLabel(GrpSource, "edtHexD", "Data", 256, 40, 41);
    edtHexData = MakeLabel(GrpSource, "edtHexData", "0", 328, 40, 49);
    btnClearBuffer = MakeButton(GrpSource, "btnClearBuffer", "Clear &Buffer", 368, 28, 73);
    btnEditMemory = MakeButton(GrpSource, "btnEditMemory", "Ed&it", 448, 28, 73);
    btnEditMemory->setEnabled(false);

    // Communication
    GrpPort = MakeGroup<TFrameGroupBox>(Panel1, "GrpPort", "Communication");
    lblSerialPort = MakeLabel(GrpPort, "lblSerialPort", "&COM Port", 8, 16);
    cmbSerialPortList = new TPortComboBox(GrpPort);
    cmbSerialPortList->setObjectName("cmbSerialPortList");
    cmbSerialPortList->setEditable(false);
    cmbSerialPortList->setGeometry(8, 29, 81, kEditHeight);
    lblSerialPort->setBuddy(cmbSerialPortList);

    // Dump
    GrpDump = MakeGroup<TFrameGroupBox>(Panel1, "GrpDump", "Dump");
    lblDumpAddress = MakeLabel(GrpDump, "lblDumpAddress", "&Address", 8, 16);
    edtDumpAddress = MakeEdit(GrpDump, "edtDumpAddress", 8, 32, 81);
    lblDumpAddress->setBuddy(edtDumpAddress);
    lblDumpSize = MakeLabel(GrpDump, "lblDumpSize", "Si&ze", 8, 56);
    edtDumpSize = MakeEdit(GrpDump, "edtDumpSize", 8, 72, 81);
    lblDumpSize->setBuddy(edtDumpSize);
    for (QLineEdit* field : {edtDumpAddress, edtDumpSize}) {
        field->setValidator(new TUpperCaseValidator(field));
        // Typed text comes as key presses only, so that the filter sees all of it.
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
        field->installEventFilter(this);
    }
    cbFarmOnDump = MakeCheckBox(GrpDump, "cbFarmOnDump", "&FarmWare", 95, 46, 81);
    cbFarmOnDump->setChecked(true);
    cbFarmOnDump->setEnabled(false);
    btnDump = MakeButton(GrpDump, "btnDump", "D&ump", 95, 72, 73);

    // Programming
    GrpCommands = MakeGroup<TFrameGroupBox>(Panel1, "GrpCommands", "Programming");
    constexpr int kStepGroupHeight = 72;
    GrpErase = MakeGroup<TFrameGroupBox>(GrpCommands, "GrpErase", "");
    GrpErase->setGeometry(8, 16, 81, kStepGroupHeight);
    cbEraseAll = MakeCheckBox(GrpErase, "cbEraseAll", "&Erase All", 2, 0, 65);
    cbEraseProgram = MakeCheckBox(GrpErase, "cbEraseProgram", "Program", 8, 16, 65);
    cbEraseConfigurationMemory =
        MakeCheckBox(GrpErase, "cbEraseConfigurationMemory", "Config", 8, 32, 57);
    cbEraseConfigurationMemory->setVisible(false);
    cbEraseDataMemory = MakeCheckBox(GrpErase, "cbEraseDataMemory", "Data", 8, 48, 57);

    GrpWrite = MakeGroup<TFrameGroupBox>(GrpCommands, "GrpWrite", "");
    GrpWrite->setGeometry(96, 16, 81, kStepGroupHeight);
    cbWriteAll = MakeCheckBox(GrpWrite, "cbWriteAll", "&Write All", 2, 0, 65);
    cbWriteProgram = MakeCheckBox(GrpWrite, "cbWriteProgram", "Program", 8, 16, 65);
    cbWriteConfigurationMemory =
        MakeCheckBox(GrpWrite, "cbWriteConfigurationMemory", "Config", 8, 32, 57);
    cbWriteDataMemory = MakeCheckBox(GrpWrite, "cbWriteDataMemory", "Data", 8, 48, 49);

    GrpVerify = MakeGroup<TFrameGroupBox>(GrpCommands, "GrpVerify", "");
    GrpVerify->setGeometry(184, 16, 81, kStepGroupHeight);
    cbVerifyAll = MakeCheckBox(GrpVerify, "cbVerifyAll", "&Verify All", 2, 0, 71);
    cbVerifyProgram = MakeCheckBox(GrpVerify, "cbVerifyProgram", "Program", 8, 16, 65);
    cbVerifyConfigurationMemory =
        MakeCheckBox(GrpVerify, "cbVerifyConfigurationMemory", "Config", 8, 32, 57);
    cbVerifyDataMemory = MakeCheckBox(GrpVerify, "cbVerifyDataMemory", "Data", 8, 48, 57);
    for (QCheckBox* all : {cbEraseAll, cbWriteAll, cbVerifyAll}) {
        all->setAutoFillBackground(true); // hides the frame line, like a caption
        all->raise();
    }

    cbFarmWare = MakeCheckBox(GrpCommands, "cbFarmWare", "&FarmWare", 272, 46, 81);
    cbFarmWare->setChecked(true);
    cbFarmWare->setEnabled(false);
    btnGo = MakeButton(GrpCommands, "btnGo", "&Download", 272, 72, 73);

    // The log
    Memo1 = new QPlainTextEdit(central);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setUndoRedoEnabled(false);
    Memo1->setFont(LogFont());
    column->addWidget(Memo1, 1);

    // The status bar: panel 0 carries the status text, panel 1 stays blank;
    // the progress bar is laid over it by PlaceProgressBar.
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusBar1->installEventFilter(this);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName("StatusPanel0");
    StatusPanel0->setFixedWidth(kStatusPanel0Width);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName("StatusPanel1");
    StatusPanel1->setFixedWidth(kStatusPanel1Width);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1);
    setStatusBar(StatusBar1);
}

void TForm1::ArrangePanel() {
    const int width = Panel1->width();
    GrpDeviceSpecs->setGeometry(0, 0, width, 60);
    GrpSource->setGeometry(0, 60, width, 60);
    GrpPort->setGeometry(0, 120, 94, 97);
    GrpDump->setGeometry(94, 120, 180, 97);
    GrpCommands->setGeometry(274, 120, std::max(0, width - 274), 97);
}

void TForm1::SetTabOrder() {
    const std::vector<QWidget*> order = {
        Memo1,
        cmbDeviceList, cbLVP,
        edtHexFile, btnOpenHexFile, btnClearBuffer, btnEditMemory,
        cmbSerialPortList,
        edtDumpAddress, edtDumpSize, cbFarmOnDump, btnDump,
        cbEraseAll, cbEraseProgram, cbEraseConfigurationMemory, cbEraseDataMemory,
        cbWriteAll, cbWriteProgram, cbWriteConfigurationMemory, cbWriteDataMemory,
        cbVerifyAll, cbVerifyProgram, cbVerifyConfigurationMemory, cbVerifyDataMemory,
        cbFarmWare, btnGo,
    };
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    Memo1->setFocus();
}

// The Japanese fonts where the system has them, else its own default and
// fixed-pitch fonts; the controls are placed for the 12-pixel Japanese font.
void TForm1::ApplyFonts() {
    // The default fonts of most systems run wider than the Japanese
    // proportional font; one pixel less keeps the captions inside their boxes.
    const QStringList families = QFontDatabase::families();
    QFont windowFont;
    if (families.contains("ＭＳ Ｐゴシック")) {
        windowFont = QFont("ＭＳ Ｐゴシック");
        windowFont.setPixelSize(12);
    } else {
        windowFont = QApplication::font();
        windowFont.setPixelSize(11);
    }
    setFont(windowFont);
}

QFont TForm1::LogFont() {
    const QStringList families = QFontDatabase::families();
    QFont logFont = families.contains("ＭＳ ゴシック")
                        ? QFont("ＭＳ ゴシック")
                        : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    logFont.setFixedPitch(true);
    logFont.setStyleHint(QFont::Monospace);
    logFont.setPixelSize(12);
    return logFont;
}

void TForm1::ConnectHandlers() {
    connect(cmbDeviceList, &QComboBox::activated, this,
            [this] { Guarded([this] { cmbDeviceListChange(); }); });
    connect(edtHexFile, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { edtHexFileChange(); }); });
    connect(edtHexFile, &QLineEdit::returnPressed, this,
            [this] { Guarded([this] { edtHexFileKeyPress('\r'); }); });
    connect(btnOpenHexFile, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnOpenHexFileClick(); }); });
    connect(btnClearBuffer, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnClearBufferClick(); }); });
    connect(cmbSerialPortList, &QComboBox::activated, this,
            [this] { Guarded([this] { cmbSerialPortListChange(); }); });
    connect(cmbSerialPortList, &QComboBox::currentIndexChanged, this, [this](int index) {
        cmbSerialPortList->setToolTip(
            index >= 0 ? cmbSerialPortList->itemData(index, Qt::ToolTipRole).toString()
                       : QString());
    });
    cmbSerialPortList->OnDropDown = [this] {
        bool filled = false;
        Guarded([&] { filled = cmbSerialPortListDropDown(); });
        return filled;
    };
    connect(edtDumpAddress, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { edtDumpAddressChange(); }); });
    connect(edtDumpSize, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { edtDumpSizeChange(); }); });

    // The rules run on every change of a box, by the user or by the program.
    connect(cbEraseAll, &QCheckBox::toggled, this,
            [this] { Guarded([this] { cbEraseAllClick(); }); });
    connect(cbWriteAll, &QCheckBox::toggled, this,
            [this] { Guarded([this] { cbWriteAllClick(); }); });
    connect(cbVerifyAll, &QCheckBox::toggled, this,
            [this] { Guarded([this] { cbVerifyAllClick(); }); });
    for (QCheckBox* box : {cbEraseProgram, cbEraseConfigurationMemory, cbEraseDataMemory})
        connect(box, &QCheckBox::toggled, this,
                [this, box] { Guarded([this, box] { cbEraseGrpClick(box); }); });
    for (QCheckBox* box : {cbWriteProgram, cbWriteConfigurationMemory, cbWriteDataMemory})
        connect(box, &QCheckBox::toggled, this,
                [this, box] { Guarded([this, box] { cbWriteGrpClick(box); }); });
    for (QCheckBox* box : {cbVerifyProgram, cbVerifyConfigurationMemory, cbVerifyDataMemory})
        connect(box, &QCheckBox::toggled, this,
                [this, box] { Guarded([this, box] { cbVerifyGrpClick(box); }); });

    connect(btnGo, &QPushButton::clicked, this, [this] { Guarded([this] { btnGoClick(); }); });
    connect(btnDump, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnDumpClick(); }); });
}

void TForm1::SetUpComm() {
    CommX1.SetBitRate(115200);
    CommX1.SetFlowCtrl(serial::cfcNone);
    CommX1.SetClock(clock_);
    CommX1.SetPumpHook([] { QCoreApplication::processEvents(); });
    // Called on a worker thread: hand the work to the window's thread.
    CommX1.SetNotificationWakeup([this] {
        QMetaObject::invokeMethod(this, [this] { CommX1.ProcessNotifications(); },
                                  Qt::QueuedConnection);
    });

    // With VANDREL1_SIMULATOR naming a device, COM0 is the simulated adapter
    // and chip; every other port is the machine's own.
    if (const auto device = simulator::SimulatorDeviceFromEnvironment()) {
        simulator::SimulatorSetup setup = simulator::MakeUserSimulator(*device, clock_);
        simPort_ = setup.port;
        simChip_ = setup.chip;
        CommX1.SetDriverFactory(simulator::MakeSimulatorFactory(
            simPort_, [](const std::string&) { return serial::MakePlatformPortDriver(); }));
    }
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TForm1::FormCreate() {
    // 1. The progress bar over the status bar.
    progressBar_ = new QProgressBar(StatusBar1);
    progressBar_->setObjectName("ProgressBar");
    progressBar_->setTextVisible(false);
    ApplyProgress();
    PlaceProgressBar();
    progressBar_->show();
    progressBar_->raise();

    // 2. The memory image, and the operations working on it.
    hexImage_ = std::make_unique<image::THexFile>();
    hexImage_->SetProcessEventsHook([] { QCoreApplication::processEvents(); });
    hexImage_->SetChecksumErrorHook([this](int line) {
        dialogs_.ErrorBox(this, QString::fromStdString(image::ChecksumErrorText(line)));
    });
    farm_ = std::make_unique<programmer::TFarmOperations>(*this, CommX1, *hexImage_,
                                                          CurrentDevice);

    // 3. The HEX file; a failure is not reported.
    const QString hexPath = ReadSetting(kHexFilePath);
    if (!hexPath.isEmpty()) {
        edtHexFile->setText(hexPath);
        if (LoadHexFileQuietly(edtHexFile->text()))
            ShowImageCounts();
    }

    // 4. The dump fields.
    const QString dumpAddress = ReadSetting(kDumpAddress);
    if (!dumpAddress.isEmpty())
        edtDumpAddress->setText(dumpAddress);
    const QString dumpSize = ReadSetting(kDumpSize);
    if (!dumpSize.isEmpty())
        edtDumpSize->setText(dumpSize);

    // 5. The port list. A port name that cannot be read as COM + number is
    // shown, and start-up goes on with the ports listed before it: one odd
    // virtual port must not leave the window without its device list.
    Guarded([this] { FillPortList(); });

    // 6. The remembered port, else the first.
    const QString port = ReadSetting(kComPort);
    if (!port.isEmpty())
        cmbSerialPortList->setCurrentIndex(cmbSerialPortList->findText(port, Qt::MatchExactly));
    else
        cmbSerialPortList->setCurrentIndex(cmbSerialPortList->count() > 0 ? 0 : -1);

    // 7. The device list.
    std::vector<std::string> devices;
    device::GetDeviceList(devices);
    cmbDeviceList->clear();
    for (const auto& name : devices)
        cmbDeviceList->addItem(QString::fromStdString(name));
    cmbDeviceList->setCurrentIndex(-1);

    // 8. The remembered device, as if the user had chosen it.
    const QString deviceName = ReadSetting(kPicDevice);
    if (!deviceName.isEmpty()) {
        cmbDeviceList->setCurrentIndex(cmbDeviceList->findText(deviceName, Qt::MatchExactly));
        cmbDeviceListChange();
    }
}

void TForm1::FormDestroy() {
    // The port may still be open when the window goes during an operation.
    CommX1.Close();
    farm_.reset();
    delete progressBar_;
    progressBar_ = nullptr;
    hexImage_.reset();
}

// ---------------------------------------------------------------------------
// Device

void TForm1::cmbDeviceListChange() {
    const QString name = cmbDeviceList->currentText();
    if (name.isEmpty())
        return;
    CurrentDevice = device::GetDeviceSpec(name.toStdString());
    if (CurrentDevice.Name.empty()) {
        ShowDeviceSizes(0, 0, 0, false);
        return;
    }
    ShowDeviceSizes(CurrentDevice.ProgramMemory.Size, CurrentDevice.DataMemory.Size,
                    CurrentDevice.ConfigurationMemory.Size, CurrentDevice.LVP);
    ShowImageCounts();
    WriteSetting(kPicDevice, name);
}

void TForm1::ShowDeviceSizes(int programSize, int dataSize, int configurationSize, bool lvp) {
    lblProgramMemoryValue->setText(QString::number(programSize));
    lblDataMemoryValue->setText(QString::number(dataSize));
    lblConfigurationWordValue->setText(QString::number(configurationSize));
    cbLVP->setEnabled(lvp);
}

void TForm1::ShowImageCounts() {
    if (!hexImage_)
        return;
    edtHexProgram->setText(QString::number(hexImage_->CountWords(CurrentDevice.ProgramMemory)));
    edtHexData->setText(QString::number(hexImage_->CountWords(CurrentDevice.DataMemory)));
    edtHexConfig->setText(
        QString::number(hexImage_->CountWords(CurrentDevice.ConfigurationMemory)));
}

// ---------------------------------------------------------------------------
// HEX file

bool TForm1::LoadHexFileQuietly(const QString& path) {
    try {
        return hexImage_->LoadFromFile(path.toStdString());
    } catch (const image::EHexFileError&) {
        return false; // unreadable: treated like a missing file
    }
}

void TForm1::edtHexFileChange() {
    const QString path = edtHexFile->text();
    if (!path.isEmpty() && QFileInfo(path).isFile())
        WriteSetting(kHexFilePath, path);
}

void TForm1::edtHexFileKeyPress(char key) {
    if (key != '\r')
        return;
    const QString path = edtHexFile->text();
    if (path.isEmpty())
        return;
    const bool loaded = LoadHexFileQuietly(path);
    // Also after a failure: a file that exists but holds nothing, or cannot
    // be read, has emptied the image, and the counts must not show the old one.
    ShowImageCounts();
    if (!loaded)
        dialogs_.ErrorBox(this, "Can't load file:" + path);
}

void TForm1::btnOpenHexFileClick() {
    const QString current = edtHexFile->text();
    const QString initial = !current.isEmpty() && QFileInfo(current).isFile() ? current : QString();
    const std::optional<QString> chosen = dialogs_.OpenFile(this, kHexFilter, initial);
    if (!chosen)
        return;
    edtHexFile->setText(*chosen);
    LoadHexFileQuietly(edtHexFile->text());
    ListImage();
    ShowImageCounts();
}

void TForm1::btnClearBufferClick() {
    hexImage_->Clear();
    ShowImageCounts();
}

void TForm1::ListImage() {
    for (std::int32_t block = 0; block < image::THexFile::kWords; block += 8) {
        QString line = QString::fromStdString(Hex4(block)) + ":";
        bool any = false;
        for (std::int32_t address = block; address < block + 8; ++address) {
            const std::int16_t word = hexImage_->GetWord(address);
            line += ' ';
            if (word < 0) {
                line += "----";
            } else {
                line += QString::fromStdString(Hex4(word));
                any = true;
            }
        }
        if (any)
            AppendLogLine(line);
    }
}

// ---------------------------------------------------------------------------
// Ports

void TForm1::FillPortList() {
    PortList ports;
    const auto show = [&] {
        cmbSerialPortList->clear();
        for (const auto& port : ports) {
            cmbSerialPortList->addItem(QString::fromStdString(port.Name));
            const QString path = QString::fromStdString(port.DevicePath);
            cmbSerialPortList->setItemData(cmbSerialPortList->count() - 1, path, Qt::ToolTipRole);
        }
    };
    try {
        ListComPorts(ports, portSource_);
    } catch (...) {
        show(); // the ports listed before the bad name stay
        throw;
    }
    show();
}

void TForm1::cmbSerialPortListChange() {
    const QString port = cmbSerialPortList->currentText();
    if (!port.isEmpty())
        WriteSetting(kComPort, port);
}

bool TForm1::cmbSerialPortListDropDown() {
    const QString remembered = cmbSerialPortList->currentText();
    const auto reselect = [&] {
        cmbSerialPortList->setCurrentIndex(
            remembered.isEmpty() ? -1 : cmbSerialPortList->findText(remembered, Qt::MatchExactly));
    };
    try {
        FillPortList();
    } catch (...) {
        reselect();
        throw;
    }
    reselect();
    return true;
}

// ---------------------------------------------------------------------------
// Dump fields

void TForm1::edtDumpAddressChange() {
    if (!edtDumpAddress->text().isEmpty())
        WriteSetting(kDumpAddress, edtDumpAddress->text());
}

void TForm1::edtDumpSizeChange() {
    if (!edtDumpSize->text().isEmpty())
        WriteSetting(kDumpSize, edtDumpSize->text());
}

void TForm1::edtHexKeyPress(char& key) {
    if (key == '\b' || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'F'))
        return;
    if (key >= 'a' && key <= 'f') {
        key = static_cast<char>(key - 'a' + 'A');
        return;
    }
    key = 0;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::Resize) {
        ArrangePanel();
    } else if (watched == StatusBar1 && event->type() == QEvent::Resize) {
        PlaceProgressBar();
    } else if ((watched == edtDumpAddress || watched == edtDumpSize) &&
               event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const QString text = keyEvent->text();
        // Shortcuts (copy, paste, undo ...) and keys without a character
        // (arrows, Delete, Tab, Enter) are editing commands, not typed text.
        // A character that comes with Alt, AltGr (Ctrl+Alt) or Meta is typed
        // text all the same: the field would insert it, so it is filtered.
        const Qt::KeyboardModifiers modifiers =
            keyEvent->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                     Qt::AltModifier | Qt::MetaModifier);
        if (text.isEmpty() || modifiers == Qt::ControlModifier ||
            modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
            return false;
        if (text.size() == 1 && text[0] != QChar('\b') &&
            (text[0].unicode() < 0x20 || text[0].unicode() == 0x7F))
            return false;
        if (text == QStringLiteral("\b"))
            return false; // the field's own backspace
        QString accepted;
        for (const QChar c : text) {
            char key = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\0';
            edtHexKeyPress(key);
            if (key != '\0' && key != '\b')
                accepted += QChar(key);
        }
        if (!accepted.isEmpty())
            static_cast<QLineEdit*>(watched)->insert(accepted);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Check-box rules: ticking "All" ticks its members, unticking a member
// unticks "All"; nothing else.

void TForm1::cbEraseAllClick() {
    if (!cbEraseAll->isChecked())
        return;
    for (QCheckBox* box : {cbEraseProgram, cbEraseConfigurationMemory, cbEraseDataMemory})
        box->setChecked(true);
}

void TForm1::cbEraseGrpClick(QCheckBox* sender) {
    if (!sender->isChecked())
        cbEraseAll->setChecked(false);
}

void TForm1::cbWriteAllClick() {
    if (!cbWriteAll->isChecked())
        return;
    for (QCheckBox* box : {cbWriteProgram, cbWriteConfigurationMemory, cbWriteDataMemory})
        box->setChecked(true);
}

void TForm1::cbWriteGrpClick(QCheckBox* sender) {
    if (!sender->isChecked())
        cbWriteAll->setChecked(false);
}

void TForm1::cbVerifyAllClick() {
    if (!cbVerifyAll->isChecked())
        return;
    for (QCheckBox* box : {cbVerifyProgram, cbVerifyConfigurationMemory, cbVerifyDataMemory})
        box->setChecked(true);
}

void TForm1::cbVerifyGrpClick(QCheckBox* sender) {
    if (!sender->isChecked())
        cbVerifyAll->setChecked(false);
}

// ---------------------------------------------------------------------------
// Operations

void TForm1::btnGoClick() {
    farm_->btnGoClick();
}

void TForm1::btnDumpClick() {
    farm_->btnDumpClick();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // An operation still running when the window closes stops at its next
    // check instead of driving the port behind a closed window.
    if (btnGo->text() == kStopCaption || btnDump->text() == kStopCaption)
        stopRequested_ = true;
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Size and the progress bar

QSize TForm1::FormCanResize(QSize requested) {
    return {std::max(requested.width(), kMinWidth), std::max(requested.height(), kMinHeight)};
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    PlaceProgressBar();
}

void TForm1::PlaceProgressBar() {
    if (!progressBar_)
        return;
    progressBar_->setGeometry(kStatusPanel0Width + 2, 2,
                              StatusBar1->width() - kStatusPanel0Width - 2,
                              StatusBar1->height() - 2);
}

void TForm1::ApplyProgress() {
    if (!progressBar_)
        return;
    // A bar whose range is empty shows empty (Qt would animate it as busy).
    if (progressMax_ > progressMin_) {
        progressBar_->setRange(progressMin_, progressMax_);
        progressBar_->setValue(progressPosition_);
    } else {
        progressBar_->setRange(0, 1);
        progressBar_->setValue(0);
    }
}

void TForm1::SetProgressMin(std::int32_t value) {
    progressMin_ = value;
    progressMax_ = std::max(progressMax_, value);
    progressPosition_ = std::clamp(progressPosition_, progressMin_, progressMax_);
    ApplyProgress();
}

void TForm1::SetProgressMax(std::int32_t value) {
    progressMax_ = value;
    progressMin_ = std::min(progressMin_, value);
    progressPosition_ = std::clamp(progressPosition_, progressMin_, progressMax_);
    ApplyProgress();
}

void TForm1::SetProgressPosition(std::int32_t value) {
    progressPosition_ = std::clamp(value, progressMin_, progressMax_);
    ApplyProgress();
}

std::int32_t TForm1::ProgressPosition() const {
    return progressPosition_;
}

std::int32_t TForm1::ProgressMax() const {
    return progressMax_;
}

// ---------------------------------------------------------------------------
// Status, log, flash

void TForm1::ShowStatus(const QString& text) {
    StatusPanel0->setText(text);
}

QString TForm1::StatusText() const {
    return StatusPanel0->text();
}

void TForm1::AppendLogLine(const QString& line) {
    Memo1->appendPlainText(line);
}

QStringList TForm1::LogLines() const {
    QStringList lines;
    for (QTextBlock block = Memo1->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    if (lines.size() == 1 && lines.front().isEmpty())
        lines.clear(); // an empty document still has one empty block
    return lines;
}

bool TForm1::FlashIfEmpty(QLabel* label) {
    QWidget* field = label->buddy();
    if (!FieldText(field).isEmpty())
        return false;
    const QPalette remembered = label->palette();
    QPalette red = remembered;
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    for (int i = 0; i < kFlashes; ++i) {
        label->setPalette(red);
        label->repaint();
        QCoreApplication::processEvents();
        clock_.WaitMs(kFlashHalfMs);
        label->setPalette(remembered);
        label->repaint();
        QCoreApplication::processEvents();
        clock_.WaitMs(kFlashHalfMs);
    }
    field->setFocus();
    return true;
}

// ---------------------------------------------------------------------------
// OperationHost

void TForm1::ShowStatus(const std::string& text) {
    ShowStatus(QString::fromStdString(text));
}

void TForm1::AppendLog(const std::string& line) {
    AppendLogLine(QString::fromStdString(line));
}

void TForm1::ProcessMessages() {
    QCoreApplication::processEvents();
}

bool TForm1::StopRequested() const {
    return stopRequested_;
}

void TForm1::SetStopRequested(bool value) {
    stopRequested_ = value;
}

bool TForm1::IsChecked(StepBox box) const {
    switch (box) {
    case StepBox::EraseProgram: return cbEraseProgram->isChecked();
    case StepBox::EraseDataMemory: return cbEraseDataMemory->isChecked();
    case StepBox::WriteProgram: return cbWriteProgram->isChecked();
    case StepBox::WriteConfigurationMemory: return cbWriteConfigurationMemory->isChecked();
    case StepBox::WriteDataMemory: return cbWriteDataMemory->isChecked();
    case StepBox::VerifyProgram: return cbVerifyProgram->isChecked();
    case StepBox::VerifyConfigurationMemory: return cbVerifyConfigurationMemory->isChecked();
    case StepBox::VerifyDataMemory: return cbVerifyDataMemory->isChecked();
    case StepBox::FarmWare: return cbFarmWare->isChecked();
    case StepBox::FarmOnDump: return cbFarmOnDump->isChecked();
    }
    return false;
}

void TForm1::TickLvp() {
    cbLVP->setChecked(true);
}

void TForm1::ErrorBox(const std::string& message) {
    dialogs_.ErrorBox(this, QString::fromStdString(message));
}

QLabel* TForm1::LabelOf(RequiredField field) const {
    switch (field) {
    case RequiredField::SerialPort: return lblSerialPort;
    case RequiredField::DeviceSelect: return lblDeviceSelect;
    case RequiredField::DumpAddress: return lblDumpAddress;
    case RequiredField::DumpSize: return lblDumpSize;
    }
    return lblSerialPort;
}

bool TForm1::FlashIfEmpty(RequiredField field) {
    return FlashIfEmpty(LabelOf(field));
}

std::string TForm1::HexFilePath() const {
    return edtHexFile->text().toStdString();
}

std::string TForm1::DumpAddressText() const {
    return edtDumpAddress->text().toStdString();
}

std::string TForm1::DumpSizeText() const {
    return edtDumpSize->text().toStdString();
}

std::string TForm1::PortText() const {
    return cmbSerialPortList->currentText().toStdString();
}

QPushButton* TForm1::ButtonOf(OperationButton button) const {
    return button == OperationButton::Go ? btnGo : btnDump;
}

std::string TForm1::ButtonCaption(OperationButton button) const {
    return ButtonOf(button)->text().toStdString();
}

void TForm1::SetButtonCaption(OperationButton button, const std::string& caption) {
    ButtonOf(button)->setText(QString::fromStdString(caption));
}

void TForm1::SetButtonEnabled(OperationButton button, bool enabled) {
    ButtonOf(button)->setEnabled(enabled);
}

Clock& TForm1::GetClock() {
    return clock_;
}

} // namespace vandrel::ui
