#include "programmer/device_id.h"

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
            identity.kind = ChipIdentity::Kind::Known;
            identity.deviceName = device.Name;
            break;
        }
    }
    return identity;
}

} // namespace vandrel::programmer
