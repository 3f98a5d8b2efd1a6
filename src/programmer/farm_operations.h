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
    OperationHost& host_;
    serial::TCustomCommX& comm_;
    image::THexFile& image_;
    const device::TPicDevice& device_;
};

} // namespace vandrel::programmer
