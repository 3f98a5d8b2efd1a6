#pragma once
// What the device ID word of a chip says: which device of the device file it
// is, and its revision. Used by the command-line program before it touches a
// chip; the window's runs never read the device ID.
#include <cstdint>
#include <string>
#include <vector>

#include "device/pic_device.h"

namespace vandrel::programmer {

// Bits 13-5 name the device, bits 4-0 its silicon revision.
inline constexpr std::uint16_t kDeviceIdMask = 0x3FE0;
inline constexpr std::uint16_t kRevisionMask = 0x001F;

struct ChipIdentity {
    enum class Kind {
        NoChip,  // the ID read as 0x3FFF or 0x0000: nothing drives the data line
        Known,   // matches a device of the list
        Unknown, // a chip answers, but with an ID no device of the list has
    };
    Kind kind = Kind::NoChip;
    std::uint16_t id = 0;
    std::string deviceName; // Known: the first device of the list that matches
    std::vector<std::string> deviceNames; // Known: every device that matches (16F636 and 16F639 share 10A0)
    int revision = 0;
};

// False for 0x3FFF (no chip, no power: the line floats high) and 0x0000
// (the line held low: a wrong adapter or port).
bool ChipAnswers(std::uint16_t id);

// The device record carries an ID value (DeviceID.Size > 0, a value of 0 or more).
bool HasDeviceId(const device::TPicDevice& device);

// The ID matches the device's DeviceID.Value in bits 13-5.
bool IdMatches(std::uint16_t id, const device::TPicDevice& device);

ChipIdentity IdentifyChip(std::uint16_t id, const std::vector<device::TPicDevice>& devices);

// The record the ID is read with: the device's own when its device ID lies
// in its configuration area, else the usual layout (configuration area
// 2000-2007, device ID 2006).
device::TPicDevice ProbeDevice(const device::TPicDevice* device);

// "PIC16F628A revision 0 (device ID 1060)", "PIC16F636 or PIC16F639 revision
// 0 (device ID 10A0)", "device ID 1234, which matches no device in
// picspecs.ini", "no chip answers (device ID 3FFF)".
std::string DescribeChip(const ChipIdentity& identity, const std::string& fileLabel);

// The chip is `name`, or one of the devices that share its ID.
bool NamesDevice(const ChipIdentity& identity, const std::string& name);

// "the PIC16F84 has no device ID: this chip cannot be identified".
std::string CannotIdentify(const device::TPicDevice& device);

} // namespace vandrel::programmer
