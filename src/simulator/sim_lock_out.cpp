// The lock-out of the chips with MCLRE and an internal oscillator: a chip
// that powers up with MCLR as an input pin (MCLRE = 0) and the internal
// oscillator runs its program at once; holding MCLR low no longer resets it,
// and with Vdd on before Vpp it does not enter programming mode (DS41204G
// 3.0, DS41244E, DS41237C, DS41287C, DS41284C 4.0, DS41191D, DS41196G,
// DS30034D 2.3). The chip takes its configuration word at power-up; the
// simulated chip powers up at its first entry (or SimChip::PowerUp), so a
// lock-out written now bites from the next power-up: for the command line,
// whose chip is made anew from its state file, the next command.
#include "simulator/sim_chip_core.h"

namespace vandrel::simulator {

namespace {

struct LockOutBits {
    std::uint16_t mclre, oscillator, internal1, internal2;
};

// From the data sheets' configuration registers, by device ID bits 13:5.
std::optional<LockOutBits> LockOutOf(std::int32_t id) {
    constexpr LockOutBits kFosc210{0x0020, 0x0007, 0x0004, 0x0005}; // FOSC<2:0> at bits 2:0
    constexpr LockOutBits kFosc410{0x0020, 0x0013, 0x0010, 0x0011}; // FOSC2 at bit 4, FOSC1:0 at 1:0
    switch (id) {
    case 0x0F80: case 0x0FC0: case 0x10C0: case 0x10E0:              // 12F629/675, 16F630/676
    case 0x0460: case 0x1080: case 0x1180: case 0x1420: case 0x1440: // 12F683, 16F684/688/631/677
    case 0x04A0: case 0x1320: case 0x1340: case 0x1400:              // 16F685/687/689/690
    case 0x0FA0: case 0x10A0:                                         // 12F635, 16F636/639
    case 0x13E0: case 0x13C0: case 0x13A0: case 0x1380: case 0x1460: // 16F913/914/916/917/946
    case 0x1200:                                                      // 16F785
    case 0x2000: case 0x2020: case 0x2040: case 0x2060: case 0x2080: // 16F882-887
    case 0x2240: case 0x2180: case 0x1360: case 0x2260: case 0x1240: // 12F609/615/617, 16F610/616
        return kFosc210;
    case 0x1040: case 0x1060: case 0x1100: // 16F627A/628A/648A
    case 0x07A0: case 0x07C0:              // 16F627/628
    case 0x0720: case 0x0760:              // 16F87/88
    case 0x04C0: case 0x04E0:              // 16F818/819
    case 0x0BA0: case 0x0BE0: case 0x0EA0: case 0x0DE0: // 16F737/747/767/777
        return kFosc410;
    default: return std::nullopt;
    }
}

} // namespace

void SimCore::PowerUp() { poweredConfiguration = ConfigurationWord(); }

bool SimCore::LockedOut() {
    if (!poweredConfiguration)
        PowerUp();
    const std::optional<LockOutBits> bits =
        device.DeviceIDValue >= 0 ? LockOutOf(device.DeviceIDValue & 0x3FE0) : std::nullopt;
    if (!bits)
        return false;
    const std::uint16_t word = *poweredConfiguration;
    const std::uint16_t oscillator = word & bits->oscillator;
    return (word & bits->mclre) == 0 && (oscillator == bits->internal1 || oscillator == bits->internal2);
}

} // namespace vandrel::simulator
