// Run control shared by the Download and Dump buttons, and the helpers both
// operations use.
#include "programmer/farm_operations.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "common/convert.h"
#include "common/scope_exit.h"
#include "programmer/fast_timing.h"

namespace vandrel::programmer {

namespace {

// The extra log line for a port that would not open: the OS reason, with a
// hint where the usual cause on Linux is a missing group membership.
std::string OsReasonLine(const std::string& reason) {
    if (reason.find("Permission denied") != std::string::npos)
        return reason + " (check that this user is a member of the 'dialout' group)";
    return reason;
}

} // namespace

TFarmOperations::TFarmOperations(OperationHost& host, serial::TCustomCommX& comm,
                                 image::THexFile& image, const device::TPicDevice& device)
    : host_(host), comm_(comm), image_(image), device_(device) {}

void TFarmOperations::btnGoClick() {
    RunOperation(OperationButton::Go, "&Go", StepBox::FarmWare, false, &TFarmOperations::FarmProgram);
}

void TFarmOperations::btnDumpClick() {
    RunOperation(OperationButton::Dump, "D&ump", StepBox::FarmOnDump, true, &TFarmOperations::FarmDump);
}

void TFarmOperations::RunOperation(OperationButton button, const char* idleCaption, StepBox enableBox,
                                   bool needsDumpFields, void (TFarmOperations::*operation)()) {
    // A press while the operation runs (re-entered from its message pump) only
    // asks it to stop.
    if (host_.ButtonCaption(button) == kStopCaption) {
        host_.SetStopRequested(true);
        return;
    }
    host_.SetStopRequested(false);
    host_.SetButtonEnabled(OperationButton::Go, false);
    host_.SetButtonEnabled(OperationButton::Dump, false);

    // The closing steps run however the body ends; an error still passes on.
    const ScopeExit closing([&] { ClosingSteps(button, idleCaption); });
    RunOperationBody(button, enableBox, needsDumpFields, operation);
}

void TFarmOperations::RunOperationBody(OperationButton button, StepBox enableBox, bool needsDumpFields,
                                       void (TFarmOperations::*operation)()) {
    if (host_.FlashIfEmpty(RequiredField::SerialPort) || host_.FlashIfEmpty(RequiredField::DeviceSelect))
        return;
    if (needsDumpFields &&
        (host_.FlashIfEmpty(RequiredField::DumpAddress) || host_.FlashIfEmpty(RequiredField::DumpSize)))
        return;
    if (comm_.Handle() != serial::INVALID_HANDLE_VALUE) {
        host_.ErrorBox("Serial port has already opend.");
        return;
    }
    if (!OpenPort())
        return;

    host_.SetButtonEnabled(button, true);
    host_.SetButtonCaption(button, kStopCaption);
    if (host_.IsChecked(enableBox))
        (this->*operation)();
}

bool TFarmOperations::OpenPort() {
    // A port text whose number does not convert is an error of its own and passes through.
    const std::int32_t portNo = PortNumberOf(host_.PortText());
    std::string reason;
    try {
        comm_.SetPortNo(portNo);
        comm_.Open();
    } catch (const serial::ECommError& error) {
        reason = error.OsReason();
    }
    if (comm_.Handle() != serial::INVALID_HANDLE_VALUE && comm_.Driver() != nullptr)
        return true;
    if (reason.empty())
        reason = comm_.LastOsError();
    if (!reason.empty())
        host_.AppendLog(OsReasonLine(reason));
    host_.ErrorBox("Cannot open serial port.");
    return false;
}

void TFarmOperations::ClosingSteps(OperationButton button, const char* idleCaption) {
    host_.ShowStatus(host_.StopRequested() ? "Terminated by user." : "Process finished.");
    host_.SetButtonEnabled(OperationButton::Go, true);
    host_.SetButtonEnabled(OperationButton::Dump, true);
    host_.SetButtonCaption(button, idleCaption);
    comm_.Close();
    host_.SetProgressPosition(0);
}

TFarmLink TFarmOperations::MakeLink() const {
    serial::PortDriver* driver = comm_.Driver();
    if (driver == nullptr)
        throw std::logic_error("the ICSP link needs an open port");
    return TFarmLink(*driver, host_.GetClock());
}

void TFarmOperations::Wait(TFarmLink& link, std::int32_t ms) {
    // A delay missing from the device file reads as -1: no wait at all. The
    // wait goes through the link: the lines must be in place while it runs.
    link.Wait(std::max<std::int32_t>(ms, 0));
}

void TFarmOperations::CycleWait(TFarmLink& link, std::int32_t ms, const std::optional<std::int32_t>& fastUs) {
    if (timing_ == device::RunTiming::Fast && fastUs)
        link.WaitUs(*fastUs);
    else
        Wait(link, ms);
}

bool TFarmOperations::FastTimingStart() {
    if (const std::string refusal = FastTimingRefusal(device_); !refusal.empty()) {
        host_.ErrorBox(refusal);
        return false;
    }
    host_.AppendLog(FastTimingLine(device_));
    return true;
}

void TFarmOperations::ResetChip(TFarmLink& link) {
    host_.ShowStatus("RESET");
    host_.AppendLog("<RESET>");
    link.FarmReset();
}

} // namespace vandrel::programmer
