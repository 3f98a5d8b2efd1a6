#pragma once
// A device of the shipped device file, which lies next to the benchmark
// program; a benchmark without it has nothing to measure.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "device/pic_device.h"

// The device `name`, with `programWords` words of program memory when given.
inline vandrel::device::TPicDevice ShippedDevice(const std::string& name, std::int32_t programWords = -1) {
    vandrel::device::TPicDevice d = vandrel::device::GetDeviceSpec(name);
    if (d.ProgramMemory.Size <= 0 || (programWords >= 0 && d.ProgramMemory.Size != programWords))
        throw std::runtime_error("picspecs.ini next to the benchmark lacks the " + name);
    return d;
}
