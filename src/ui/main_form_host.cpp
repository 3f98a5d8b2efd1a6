// The window's displays and the side it shows the running operations: the
// log, the status text, the progress bar, the stop request, the step boxes,
// the required-field flash and the two operation buttons.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include "ui/main_form.h"

namespace vandrel::ui {

using programmer::OperationButton;
using programmer::RequiredField;
using programmer::StepBox;

namespace {

constexpr int kFlashes = 4;
constexpr int kFlashHalfMs = 300;

QString FieldText(const QWidget* field) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(field))
        return edit->text();
    if (const auto* list = qobject_cast<const QComboBox*>(field))
        return list->currentText();
    return {};
}

} // namespace

// ---------------------------------------------------------------------------
// Status, log, progress

void TForm1::ShowStatus(const QString& text) {
    StatusBar1->ShowStatus(text);
}

void TForm1::ShowStatus(const std::string& text) {
    ShowStatus(QString::fromStdString(text));
}

QString TForm1::StatusText() const {
    return StatusBar1->StatusText();
}

void TForm1::AppendLogLine(const QString& line) {
    Memo1->appendPlainText(line);
}

void TForm1::AppendLog(const std::string& line) {
    AppendLogLine(QString::fromStdString(line));
}

QStringList TForm1::LogLines() const {
    QStringList lines;
    for (QTextBlock block = Memo1->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    if (lines.size() == 1 && lines.front().isEmpty())
        lines.clear(); // an empty document still has one empty block
    return lines;
}

void TForm1::SetProgressMin(std::int32_t value) {
    StatusBar1->SetProgressMin(value);
}

void TForm1::SetProgressMax(std::int32_t value) {
    StatusBar1->SetProgressMax(value);
}

void TForm1::SetProgressPosition(std::int32_t value) {
    StatusBar1->SetProgressPosition(value);
}

std::int32_t TForm1::ProgressPosition() const {
    return StatusBar1->ProgressPosition();
}

std::int32_t TForm1::ProgressMax() const {
    return StatusBar1->ProgressMax();
}

void TForm1::ProcessMessages() {
    QCoreApplication::processEvents();
}

// ---------------------------------------------------------------------------
// Flash

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

// ---------------------------------------------------------------------------
// What the operations read and set

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
