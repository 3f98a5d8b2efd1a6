#include "programmer/device_id.h"

#include "common/convert.h"

namespace vandrel::programmer {

bool ChipAnswers(std::uint16_t id) {
    const auto bits = static_cast<std::uint16_t>(id & 0x3FFF);
    return bits != 0x3FFF && bits != 0x0000;
}

bool HasDeviceId(const device::TPicDevice& device) {
    return device.DeviceID.Size > 0 && device.DeviceIDValue >= 0;
}

bool IdMatches(std::uint16_t id, const device::TPicDevice& device) {
    if (!HasDeviceId(device))
        return false;
    return (id & kDeviceIdMask) == (static_cast<std::uint16_t>(device.DeviceIDValue) & kDeviceIdMask);
}

ChipIdentity IdentifyChip(std::uint16_t id, const std::vector<device::TPicDevice>& devices) {
    ChipIdentity identity;
    identity.id = static_cast<std::uint16_t>(id & 0x3FFF);
    identity.revision = identity.id & kRevisionMask;
    if (!ChipAnswers(identity.id)) {
        identity.kind = ChipIdentity::Kind::NoChip;
        return identity;
    }
    identity.kind = ChipIdentity::Kind::Unknown;
    for (const device::TPicDevice& device : devices) {
        if (IdMatches(identity.id, device)) {
            if (identity.kind != ChipIdentity::Kind::Known)
                identity.deviceName = device.Name;
            identity.kind = ChipIdentity::Kind::Known;
            identity.deviceNames.push_back(device.Name);
        }
    }
    return identity;
}

device::TPicDevice ProbeDevice(const device::TPicDevice* device) {
    if (device != nullptr && device->DeviceID.Size > 0 &&
        device::InRange(device->DeviceID.Address, device->ConfigurationMemory))
        return *device;
    device::TPicDevice probe;
    probe.Name = "probe";
    probe.ConfigurationMemory = {0x2000, 8};
    probe.DeviceID = {0x2006, 1};
    return probe;
}

std::string DescribeChip(const ChipIdentity& identity, const std::string& fileLabel) {
    using Kind = ChipIdentity::Kind;
    const std::string id = "device ID " + Hex4(identity.id);
    switch (identity.kind) {
    case Kind::NoChip: return "no chip answers (" + id + ")";
    case Kind::Known: {
        std::string names;
        for (std::size_t i = 0; i < identity.deviceNames.size(); ++i)
            names += (i == 0 ? "" : i + 1 == identity.deviceNames.size() ? " or " : ", ") + identity.deviceNames[i];
        if (names.empty())
            names = identity.deviceName;
        return names + " revision " + std::to_string(identity.revision) + " (" + id + ")";
    }
    case Kind::Unknown: return id + ", which matches no device in " + fileLabel;
    }
    return id;
}

bool NamesDevice(const ChipIdentity& identity, const std::string& name) {
    if (identity.kind != ChipIdentity::Kind::Known)
        return false;
    for (const std::string& n : identity.deviceNames)
        if (n == name)
            return true;
    return identity.deviceName == name;
}

std::string CannotIdentify(const device::TPicDevice& device) {
    return "the " + device.Name + " has no device ID: this chip cannot be identified";
}

} // namespace vandrel::programmer
