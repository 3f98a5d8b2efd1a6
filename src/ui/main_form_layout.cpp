// Building and placing the window's controls.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "ui/hex_key_filter.h"
#include "ui/main_form.h"

namespace vandrel::ui {

namespace {

constexpr int kPanelHeight = 217;

} // namespace

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
    Panel1->installEventFilter(this); // placed by ArrangePanel at every resize
    column->addWidget(Panel1);

    // Device
    GrpDeviceSpecs = MakeGroup(Panel1, "GrpDeviceSpecs", "Device");
    lblDeviceSelect = MakeLabel(GrpDeviceSpecs, "lblDeviceSelect", "Target &PIC Device", 16, 16);
    cmbDeviceList = MakeList(GrpDeviceSpecs, "cmbDeviceList", 16, 29, 169);
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
    GrpSource = MakeGroup(Panel1, "GrpSource", "Data Source");
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
    GrpPort = MakeGroup(Panel1, "GrpPort", "Communication");
    lblSerialPort = MakeLabel(GrpPort, "lblSerialPort", "&COM Port", 8, 16);
    cmbSerialPortList = MakeList<TPortComboBox>(GrpPort, "cmbSerialPortList", 8, 29, 81);
    lblSerialPort->setBuddy(cmbSerialPortList);

    // Dump
    GrpDump = MakeGroup(Panel1, "GrpDump", "Dump");
    lblDumpAddress = MakeLabel(GrpDump, "lblDumpAddress", "&Address", 8, 16);
    edtDumpAddress = MakeEdit(GrpDump, "edtDumpAddress", 8, 32, 81);
    lblDumpAddress->setBuddy(edtDumpAddress);
    lblDumpSize = MakeLabel(GrpDump, "lblDumpSize", "Si&ze", 8, 56);
    edtDumpSize = MakeEdit(GrpDump, "edtDumpSize", 8, 72, 81);
    lblDumpSize->setBuddy(edtDumpSize);
    hexKeyFilter_ = new THexKeyFilter(&TForm1::edtHexKeyPress, this);
    hexKeyFilter_->Watch(edtDumpAddress);
    hexKeyFilter_->Watch(edtDumpSize);
    cbFarmOnDump = MakeCheckBox(GrpDump, "cbFarmOnDump", "&FarmWare", 95, 46, 81);
    cbFarmOnDump->setChecked(true);
    cbFarmOnDump->setEnabled(false);
    btnDump = MakeButton(GrpDump, "btnDump", "D&ump", 95, 72, 73);

    // Programming
    GrpCommands = MakeGroup(Panel1, "GrpCommands", "Programming");
    GrpErase = new TStepGroup(GrpCommands, "Erase", "&Erase All", 8, {65, 65, 57, 57});
    cbEraseAll = GrpErase->All();
    cbEraseProgram = GrpErase->Program();
    cbEraseConfigurationMemory = GrpErase->Config();
    cbEraseConfigurationMemory->setVisible(false);
    cbEraseDataMemory = GrpErase->Data();
    GrpWrite = new TStepGroup(GrpCommands, "Write", "&Write All", 96, {65, 65, 57, 49});
    cbWriteAll = GrpWrite->All();
    cbWriteProgram = GrpWrite->Program();
    cbWriteConfigurationMemory = GrpWrite->Config();
    cbWriteDataMemory = GrpWrite->Data();
    GrpVerify = new TStepGroup(GrpCommands, "Verify", "&Verify All", 184, {71, 65, 57, 57});
    cbVerifyAll = GrpVerify->All();
    cbVerifyProgram = GrpVerify->Program();
    cbVerifyConfigurationMemory = GrpVerify->Config();
    cbVerifyDataMemory = GrpVerify->Data();
    cbFarmWare = MakeCheckBox(GrpCommands, "cbFarmWare", "&FarmWare", 272, 46, 81);
    cbFarmWare->setChecked(true);
    cbFarmWare->setEnabled(false);
    btnGo = MakeButton(GrpCommands, "btnGo", "&Download", 272, 72, 73);

    CreateLog(central);
    column->addWidget(Memo1, 1);

    // The progress bar is laid over it at start-up.
    StatusBar1 = new TStatusBar(this);
    StatusPanel0 = StatusBar1->Panel0();
    StatusPanel1 = StatusBar1->Panel1();
    setStatusBar(StatusBar1);
}

void TForm1::CreateLog(QWidget* central) {
    Memo1 = new QPlainTextEdit(central);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Selecting by keyboard moves a cursor, but a read-only log shows none.
    Memo1->setCursorWidth(0);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setUndoRedoEnabled(false);
    Memo1->setFont(LogFont());
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

} // namespace vandrel::ui
