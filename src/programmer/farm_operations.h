#pragma once
// The Download and Dump operations and their run control.
#include <cstdint>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_link.h"
#include "programmer/operation_host.h"
#include "serial/comm_x.h"

namespace vandrel::programmer {

class TFarmOperations {
public:
    // The device is read through `device` at every use (the window's CurrentDevice).
    TFarmOperations(OperationHost& host, serial::TCustomCommX& comm, image::THexFile& image,
                    const device::TPicDevice& device = device::CurrentDevice);

    void btnGoClick();   // Download / Stop
    void btnDumpClick(); // Dump / Stop
    void FarmProgram();  // the programming run; the port is open
    void FarmDump();     // the memory dump; the port is open

private:
    struct WordStep; // one of the six write and verify steps

    // The run control shared by both buttons; `operation` runs with the port open.
    void RunOperation(OperationButton button, const char* idleCaption, StepBox enableBox,
                      bool needsDumpFields, void (TFarmOperations::*operation)());
    void RunOperationBody(OperationButton button, StepBox enableBox, bool needsDumpFields,
                          void (TFarmOperations::*operation)());
    void ClosingSteps(OperationButton button, const char* idleCaption);
    bool OpenPort();

    TFarmLink MakeLink() const;
    bool Stopped() const { return host_.StopRequested(); }
    void Pump() { host_.ProcessMessages(); }
    void Wait(std::int32_t ms);
    void ResetChip(TFarmLink& link);
    void EraseStep(TFarmLink& link, int command, const char* text);
    bool ImageCheck();
    bool RunWordStep(TFarmLink& link, const WordStep& step, std::int32_t& errors);
    void ShowStepStatus(const char* prefix);

    OperationHost& host_;
    serial::TCustomCommX& comm_;
    image::THexFile& image_;
    const device::TPicDevice& device_;
};

} // namespace vandrel::programmer
