#pragma once
// A model of the logic-free adapter and a PIC16 chip in programming mode,
// sitting at the far end of a simulated port (a LinePeer of SimPort).
//
// Adapter: RTS set = clock low, DTR set = data 0, CTS on = data 0 seen by the
// PC, break on = MCLR low (reset), break off = programming voltage.
// Addresses: 0.. program memory, 0x2000.. configuration area, 0x2100.. data EEPROM.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "device/pic_device.h"
#include "serial/port_driver.h"
#include "serial/sim_port_driver.h"

namespace vandrel::simulator {

struct TimingViolation {
    std::int64_t AtMs = 0;
    std::string What;
};

class SimChip : public serial::LinePeer {
public:
    SimChip(const device::TPicDevice& device, Clock& clock);
    ~SimChip() override;

    // LinePeer
    void OnEscape(std::uint32_t function) override;
    void OnBreak(bool on) override;
    std::uint32_t ModemStatus() override;

    // Whole memories, by chip address (program, 0x2000 config, 0x2100 data).
    // ReadWord answers -1 for an address the chip does not have.
    std::int32_t ReadWord(std::int32_t address) const;
    void WriteWord(std::int32_t address, std::uint16_t value);
    void EraseAll(); // program and configuration 0x3FFF, data 0xFF

    // Faults.
    void SetNoChip(bool present, bool ctsOn = false); // no chip: CTS stuck on or off
    void SetStuckBit(int bit, bool value);             // every word read has this bit stuck
    void ClearStuckBits();
    void SetWriteProtected(std::int32_t address, bool protect = true);

    // Observation.
    std::vector<TimingViolation> Violations() const;
    std::int32_t AddressCounter() const;
    bool InProgrammingMode() const;
    std::uint64_t LineChanges() const;   // escape and break calls seen
    std::uint64_t CommandsSeen() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// When VANDREL1_SIMULATOR names a device of picspecs.ini: that device.
std::optional<device::TPicDevice> SimulatorDeviceFromEnvironment();

// A driver factory that opens "\\.\COM0" as the simulated adapter carrying
// `chip` (through `port`), and every other name with `fallback`.
serial::PortDriverFactory MakeSimulatorFactory(std::shared_ptr<serial::SimPort> port,
                                               serial::PortDriverFactory fallback);

} // namespace vandrel::simulator
