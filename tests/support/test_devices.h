#pragma once
// Device records for tests, laid out like the mid-range flash parts:
// configuration area at 0x2000 (user IDs 0x2000-0x2003, device ID 0x2006,
// configuration word 0x2007) and data EEPROM at 0x2100.
#include <cstdint>
#include <string>

#include "device/pic_device.h"

namespace vandrel::test {

struct DeviceShape {
    std::string Name;
    std::int16_t ProgramWords;
    std::int16_t DataBytes;
    std::int16_t DeviceIdValue;
    std::int32_t Tprog;
    std::int32_t Tdprog;
    std::int32_t Tera;
    bool Lvp = false;
};

inline device::TPicDevice MidrangeDevice(const DeviceShape& shape) {
    device::TPicDevice d;
    d.Name = shape.Name;
    d.ProgramMemory = {0x0000, shape.ProgramWords};
    d.ConfigurationMemory = {0x2000, 8};
    d.UserID = {0x2000, 4};
    d.DeviceID = {0x2006, 1};
    d.DeviceIDValue = shape.DeviceIdValue;
    d.ConfigurationWord = {0x2007, 1};
    d.DataMemory = {0x2100, shape.DataBytes};
    d.LVP = shape.Lvp;
    d.Tprog = shape.Tprog;
    d.Tdprog = shape.Tdprog;
    d.Tera = shape.Tera;
    return d;
}

} // namespace vandrel::test
