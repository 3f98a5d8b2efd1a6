#include "ui/main_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include "common/convert.h"
#include "common/scope_exit.h"
#include "device/pic_device.h"
#include "image/image_source.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_programmer.h"
#include "ui/application.h"
#include "ui/settings.h"

namespace vandrel::ui {

using device::CurrentDevice;
using programmer::kStopCaption;

namespace {

// One filter: its description, whose bracketed pattern is what Qt filters by.
const char* const kHexFilter = "IntelHEXファイル(*.hex)";

// A load lets the window process its events once per line.
void PumpEvents() {
    QCoreApplication::processEvents();
}

} // namespace

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
    setFont(WindowFont());
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
// Wiring

auto TForm1::Handler(void (TForm1::*handler)()) {
    return [this, handler] { Guarded([&] { (this->*handler)(); }); };
}

void TForm1::ConnectHandlers() {
    connect(cmbDeviceList, &QComboBox::activated, this, Handler(&TForm1::cmbDeviceListChange));
    connect(edtHexFile, &QLineEdit::textChanged, this, Handler(&TForm1::edtHexFileChange));
    connect(edtHexFile, &QLineEdit::returnPressed, this,
            [this] { Guarded([this] { edtHexFileKeyPress('\r'); }); });
    connect(btnOpenHexFile, &QPushButton::clicked, this, Handler(&TForm1::btnOpenHexFileClick));
    connect(btnClearBuffer, &QPushButton::clicked, this, Handler(&TForm1::btnClearBufferClick));
    connect(cmbSerialPortList, &QComboBox::activated, this,
            Handler(&TForm1::cmbSerialPortListChange));
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
    connect(edtDumpAddress, &QLineEdit::textChanged, this, Handler(&TForm1::edtDumpAddressChange));
    connect(edtDumpSize, &QLineEdit::textChanged, this, Handler(&TForm1::edtDumpSizeChange));

    // The rules run on every change of a box, by the user or by the program.
    const auto connectStep = [this](TStepGroup* group, void (TForm1::*allClick)(),
                                    void (TForm1::*memberClick)(QCheckBox*)) {
        connect(group->All(), &QCheckBox::toggled, this, Handler(allClick));
        for (QCheckBox* box : group->Members())
            connect(box, &QCheckBox::toggled, this,
                    [this, memberClick, box] { Guarded([&] { (this->*memberClick)(box); }); });
    };
    connectStep(GrpErase, &TForm1::cbEraseAllClick, &TForm1::cbEraseGrpClick);
    connectStep(GrpWrite, &TForm1::cbWriteAllClick, &TForm1::cbWriteGrpClick);
    connectStep(GrpVerify, &TForm1::cbVerifyAllClick, &TForm1::cbVerifyGrpClick);

    connect(btnGo, &QPushButton::clicked, this, Handler(&TForm1::btnGoClick));
    connect(btnDump, &QPushButton::clicked, this, Handler(&TForm1::btnDumpClick));
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
    StatusBar1->CreateProgressBar();

    // 2. The memory image, and the operations working on it.
    hexImage_ = std::make_unique<image::THexFile>();
    hexImage_->SetProcessEventsHook(PumpEvents);
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
    StatusBar1->DestroyProgressBar();
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
    else
        ReportNotHexFile(path);
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
    ReportNotHexFile(edtHexFile->text());
}

void TForm1::ReportNotHexFile(const QString& path) {
    const auto& source = hexImage_->Source();
    if (source && source->Path == path.toStdString() && hexImage_->RecordCount() == 0)
        dialogs_.ErrorBox(this, QString::fromStdString(image::NotHexFileText(source->Path)));
}

bool TForm1::PrepareDownloadImage() {
    // No events while the file is read: a second press must not start a run
    // inside this one.
    hexImage_->SetProcessEventsHook(nullptr);
    const ScopeExit pumpAgain([this] { hexImage_->SetProcessEventsHook(PumpEvents); });
    const image::TRunImageCheck check = image::PrepareRunImage(*hexImage_, HexFilePath());
    if (check.Reloaded)
        ShowImageCounts();
    if (!check.LogLine.empty())
        AppendLog(check.LogLine);
    if (!check.Refusal.empty()) {
        ErrorBox(check.Refusal);
        return false;
    }
    return true;
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

// ---------------------------------------------------------------------------
// Check-box rules, one TStepGroup per step

void TForm1::cbEraseAllClick() {
    GrpErase->AllClick();
}

void TForm1::cbEraseGrpClick(QCheckBox* sender) {
    GrpErase->MemberClick(sender);
}

void TForm1::cbWriteAllClick() {
    GrpWrite->AllClick();
}

void TForm1::cbWriteGrpClick(QCheckBox* sender) {
    GrpWrite->MemberClick(sender);
}

void TForm1::cbVerifyAllClick() {
    GrpVerify->AllClick();
}

void TForm1::cbVerifyGrpClick(QCheckBox* sender) {
    GrpVerify->MemberClick(sender);
}

// ---------------------------------------------------------------------------
// Operations

template <class F>
void TForm1::RunOperation(F&& start) {
    operationActive_ = true;
    const ScopeExit ended([this] {
        operationActive_ = false;
        if (closePending_) {
            closePending_ = false;
            QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
        }
    });
    start();
}

void TForm1::btnGoClick() {
    // A Stop press comes in from the running operation's message pump.
    if (btnGo->text() == kStopCaption) {
        farm_->btnGoClick();
        return;
    }
    RunOperation([this] {
        if (PrepareDownloadImage() && !closePending_)
            farm_->btnGoClick();
    });
}

void TForm1::btnDumpClick() {
    if (btnDump->text() == kStopCaption) {
        farm_->btnDumpClick();
        return;
    }
    RunOperation([this] { farm_->btnDumpClick(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    // An operation under way is asked to stop and ends through its closing
    // steps (the port closes); the window closes after that.
    if (operationActive_) {
        stopRequested_ = true;
        closePending_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Size

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
    StatusBar1->PlaceProgressBar();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::Resize)
        ArrangePanel();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vandrel::ui
