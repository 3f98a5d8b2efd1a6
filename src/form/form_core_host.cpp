// The window's displays and the side it shows the running operations: the
// log, the status text, the progress bar, the stop request, the step boxes,
// the required-field flash and the two operation buttons.
#include <algorithm>

#include "form/form_core.h"
#include "programmer/chip_read.h"
#include "programmer/lock_out.h"

namespace vandrel::form {

using programmer::OperationButton;
using programmer::RequiredField;
using programmer::StepBox;

namespace {

constexpr int kFlashes = 4;
constexpr int kFlashHalfMs = 300;

Control LabelOf(RequiredField field) {
    switch (field) {
    case RequiredField::SerialPort: return Control::lblSerialPort;
    case RequiredField::DeviceSelect: return Control::lblDeviceSelect;
    case RequiredField::DumpAddress: return Control::lblDumpAddress;
    case RequiredField::DumpSize: return Control::lblDumpSize;
    }
    return Control::lblSerialPort;
}

Control BoxOf(StepBox box) {
    switch (box) {
    case StepBox::EraseProgram: return Control::cbEraseProgram;
    case StepBox::EraseDataMemory: return Control::cbEraseDataMemory;
    case StepBox::WriteProgram: return Control::cbWriteProgram;
    case StepBox::WriteConfigurationMemory: return Control::cbWriteConfigurationMemory;
    case StepBox::WriteDataMemory: return Control::cbWriteDataMemory;
    case StepBox::VerifyProgram: return Control::cbVerifyProgram;
    case StepBox::VerifyConfigurationMemory: return Control::cbVerifyConfigurationMemory;
    case StepBox::VerifyDataMemory: return Control::cbVerifyDataMemory;
    case StepBox::FarmWare: return Control::cbFarmWare;
    case StepBox::FarmOnDump: return Control::cbFarmOnDump;
    }
    return Control::cbFarmWare;
}

Control ButtonOf(OperationButton button) {
    return button == OperationButton::Go ? Control::btnGo : Control::btnDump;
}

} // namespace

// ---------------------------------------------------------------------------
// Status, log, progress

void TFormCore::ShowStatus(const std::string& text) {
    recorder_.OnStatus(text);
    view_.SetStatusText(text);
}

void TFormCore::AppendLog(const std::string& line) {
    // A menu command's dump keeps its words to itself.
    std::int32_t address = 0, value = 0;
    if (chipDump_ && (chipDump_->Quiet || programmer::ParseWordLine(line, address, value))) {
        chipDump_->Words.push_back(line);
        return;
    }
    view_.AppendToLog(line);
}

void TFormCore::ConfigurationWritten(std::uint16_t word) {
    const device::TPicDevice& device = device::CurrentDevice;
    if (device.Algorithm.LockOut.LocksOut(word))
        AppendLog("Warning: " + programmer::LockOutText(device, word) + ".");
}

// The position stays within the range; a minimum above the maximum moves the
// maximum up to it, and the other way round.
void TFormCore::SetProgressMin(std::int32_t value) {
    progressMin_ = value;
    progressMax_ = std::max(progressMax_, value);
    progressPosition_ = std::clamp(progressPosition_, progressMin_, progressMax_);
    ShowProgress();
}

void TFormCore::SetProgressMax(std::int32_t value) {
    progressMax_ = value;
    progressMin_ = std::min(progressMin_, value);
    progressPosition_ = std::clamp(progressPosition_, progressMin_, progressMax_);
    ShowProgress();
}

void TFormCore::SetProgressPosition(std::int32_t value) {
    progressPosition_ = std::clamp(value, progressMin_, progressMax_);
    ShowProgress();
}

std::int32_t TFormCore::ProgressPosition() const {
    return progressPosition_;
}

std::int32_t TFormCore::ProgressMax() const {
    return progressMax_;
}

void TFormCore::ShowProgress() {
    view_.ShowProgress(progressMin_, progressMax_, progressPosition_);
}

void TFormCore::ProcessMessages() {
    EstimateWhenPlanned();
    view_.ProcessPendingMessages();
}

// ---------------------------------------------------------------------------
// Flash

bool TFormCore::FlashIfEmpty(Control label) {
    const Control field = Spec(label).Buddy.value_or(label);
    if (!view_.Text(field).empty())
        return false;
    for (int i = 0; i < kFlashes; ++i) {
        view_.FlashLabel(label, true);
        view_.ProcessPendingMessages();
        clock_.WaitMs(kFlashHalfMs);
        view_.FlashLabel(label, false);
        view_.ProcessPendingMessages();
        clock_.WaitMs(kFlashHalfMs);
    }
    view_.SetFocus(field);
    return true;
}

bool TFormCore::FlashIfEmpty(RequiredField field) {
    if (chipDump_ && (field == RequiredField::DumpAddress || field == RequiredField::DumpSize ||
                      (field == RequiredField::DeviceSelect && !chipDump_->NeedsDevice)))
        return false;
    return FlashIfEmpty(LabelOf(field));
}

// ---------------------------------------------------------------------------
// What the operations read and set

bool TFormCore::StopRequested() const {
    return stopRequested_;
}

void TFormCore::SetStopRequested(bool value) {
    stopRequested_ = value;
}

bool TFormCore::IsChecked(StepBox box) const {
    return view_.Checked(BoxOf(box));
}

void TFormCore::TickLvp() {
    recorder_.OnFirstStep();
    EstimateWhenPlanned();
    view_.SetChecked(Control::cbLVP, true);
}

void TFormCore::ErrorBox(const std::string& message) {
    if (chipDump_)
        chipDump_->Failed = true;
    view_.ShowErrorBox(message);
}

std::string TFormCore::HexFilePath() const {
    return view_.Text(Control::edtHexFile);
}

std::string TFormCore::DumpAddressText() const {
    return chipDump_ ? chipDump_->Address : view_.Text(Control::edtDumpAddress);
}

std::string TFormCore::DumpSizeText() const {
    return chipDump_ ? chipDump_->Count : view_.Text(Control::edtDumpSize);
}

std::string TFormCore::PortText() const {
    // A cable runs under the simulated adapter's number; the driver factory
    // opens the cable for it.
    const std::string port = view_.Text(Control::cmbSerialPortList);
    return CableOfPortName(port) ? std::string(serial::kSimulatorPortName) : port;
}

std::string TFormCore::ButtonCaption(OperationButton button) const {
    return view_.Caption(ButtonOf(button));
}

void TFormCore::SetButtonCaption(OperationButton button, const std::string& caption) {
    view_.SetCaption(ButtonOf(button), caption);
}

void TFormCore::SetButtonEnabled(OperationButton button, bool enabled) {
    view_.SetEnabled(ButtonOf(button), enabled);
}

Clock& TFormCore::GetClock() {
    return recorder_.Meter(); // the same clock, its waits measured for the pace
}

} // namespace vandrel::form
