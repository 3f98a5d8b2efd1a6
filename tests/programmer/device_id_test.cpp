// The chip named from its device ID.
#include "programmer/device_id.h"

#include <gtest/gtest.h>

#include "support/test_devices.h"

namespace vandrel::programmer {
namespace {

std::vector<device::TPicDevice> Devices() {
    device::TPicDevice noId = test::MidrangeDevice({"NOID", 1024, 64, -1, 8, 8, 10});
    return {test::MidrangeDevice({"PIC16F84A", 1024, 64, 0x0560, 10, 10, 10}),
            test::MidrangeDevice({"PIC16F628A", 2048, 128, 0x1060, 8, 8, 10}),
            test::MidrangeDevice({"ALIAS", 2048, 128, 0x1061, 8, 8, 10}), noId};
}

TEST(DeviceId, BitsThirteenToFiveNameTheDeviceAndTheRestItsRevision) {
    struct Case {
        std::uint16_t id;
        ChipIdentity::Kind kind;
        std::string name;
        int revision;
    };
    const std::vector<Case> cases = {
        {0x1060, ChipIdentity::Kind::Known, "PIC16F628A", 0},
        {0x1066, ChipIdentity::Kind::Known, "PIC16F628A", 6}, // the first device that matches wins
        {0x107F, ChipIdentity::Kind::Known, "PIC16F628A", 31},
        {0x0563, ChipIdentity::Kind::Known, "PIC16F84A", 3},
        {0x1080, ChipIdentity::Kind::Unknown, "", 0},
        {0x3FE0, ChipIdentity::Kind::Unknown, "", 0}, // what NOID's -1 would match if it were compared
        {0x3FFF, ChipIdentity::Kind::NoChip, "", 31},
        {0x0000, ChipIdentity::Kind::NoChip, "", 0},
        {0xFFFF, ChipIdentity::Kind::NoChip, "", 31}, // only 14 bits come off the chip
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const ChipIdentity chip = IdentifyChip(c.id, Devices());
        EXPECT_EQ(chip.kind, c.kind);
        EXPECT_EQ(chip.deviceName, c.name);
        EXPECT_EQ(chip.revision, c.revision);
    }
}

TEST(DeviceId, ADeviceWithoutAnIdValueMatchesNothing) {
    const device::TPicDevice noId = Devices().back();
    EXPECT_FALSE(HasDeviceId(noId));
    EXPECT_FALSE(IdMatches(0x3FE0, noId));
    device::TPicDevice noRange = Devices()[1];
    noRange.DeviceID.Size = 0;
    EXPECT_FALSE(IdMatches(0x1060, noRange));
    EXPECT_TRUE(IdMatches(0x107F, Devices()[1]));
}

} // namespace
} // namespace vandrel::programmer
