#pragma once
// The fast timing's words: the refusal of a device without the maxima, and
// the one log line that says which times are in force.
#include <string>

#include "device/pic_device.h"

namespace vandrel::programmer {

// "PIC16F84: the device file gives no Maximum.Erase (the erase's maximum
// from the chip's programming specification, in microseconds from 1 to
// 10000000): use the described timing." Empty when the device has them all.
std::string FastTimingRefusal(const device::TPicDevice& device);

// "Fast timing, the maxima of the chip's programming specification: erase
// 6 ms, program memory 4 ms, configuration 4 ms, data EEPROM 6 ms."
std::string FastTimingLine(const device::TPicDevice& device);

// "2.5 ms" for 2500 us.
std::string MsText(std::int64_t us);

} // namespace vandrel::programmer
