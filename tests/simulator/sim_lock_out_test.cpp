// The simulated chip's lock-out, by its silicon (the device ID), against the
// device file's LockOut keys: a chip that powers up with MCLRE off and the
// internal oscillator never enters programming mode; with MCLRE on, or on a
// chip without the hazard, it does; a word written after power-up bites only
// from the next power-up.
#include <gtest/gtest.h>

#include "serial/sim_port_driver.h"
#include "simulator/sim_programmer.h"

namespace vandrel::simulator {
namespace {

using serial::win::SETDTR;
using serial::win::SETRTS;

// MCLR low, then to Vpp with clock and data low.
bool Enters(SimChip& chip) {
    chip.OnEscape(SETRTS);
    chip.OnEscape(SETDTR);
    chip.OnBreak(true);
    chip.OnBreak(false);
    return chip.InProgrammingMode();
}

TEST(SimLockOut, TheChipsOfTheGuardedDevicesAndOnlyThoseLockOutFromTheirNextPowerUp) {
    device::SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
    std::vector<std::string> names;
    device::GetDeviceList(names);
    int locked = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const device::TPicDevice d = device::GetDeviceSpec(name);
        const device::TLockOut& keys = d.Algorithm.LockOut;
        const std::int32_t at = d.ConfigurationWord.Address;
        // MCLRE off with the first internal value where the device has keys;
        // else every MCLRE and oscillator bit a chip might have, at 0.
        const auto word = static_cast<std::uint16_t>(
            keys.Any() ? ((0x3FFF & ~keys.Mclre & ~keys.Oscillator) | keys.Internal.front()) : 0x3FC8);
        VirtualClock clock;
        SimChip chip(d, clock);
        chip.WriteWord(at, word);
        const bool enters = Enters(chip);
        EXPECT_EQ(enters, !keys.Any());
        locked += enters ? 0 : 1;
        // Powered up with MCLRE on: it enters, and a lock-out written now waits for the next power-up.
        if (keys.Any()) {
            SimChip fresh(d, clock);
            fresh.WriteWord(at, static_cast<std::uint16_t>(word | keys.Mclre));
            EXPECT_TRUE(Enters(fresh));
            fresh.WriteWord(at, word);
            EXPECT_TRUE(Enters(fresh));
            fresh.PowerUp();
            EXPECT_FALSE(Enters(fresh));
        }
    }
    EXPECT_EQ(locked, 45);
    device::SetDeviceSpecPathOverride("");
}

} // namespace
} // namespace vandrel::simulator
