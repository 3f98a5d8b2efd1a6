#pragma once
// A model of the logic-free adapter and a PIC16 chip in programming mode,
// sitting at the far end of a simulated port (a LinePeer of SimPort).
//
// Adapter (serial/adapter_pins.h): RTS set = clock low, DTR set = data 0, CTS
// on = data 0 seen by the PC, break on = MCLR low (reset), break off =
// programming voltage. The simulated FT232R (sim_ft232r.h) turns its pin bytes
// into these same calls by that table.
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

// The chip enters programming mode when the break goes off while RTS and DTR
// are set (clock and data low); its address counter is then 0. It takes a bit
// at each SETRTS (falling clock edge), LSB first: 6-bit commands, 16-bit data
// frames (start bit, 14 data bits, stop bit). During a read frame it drives
// the bit of each cycle from the CLRRTS before the PC samples; when nobody
// drives the data pin, CTS follows the PC's own DTR.
//
// Memories: program words 0x3FFF erased (a counter below 0x2000 wraps on the
// program size); configuration area 0x2000.. with a read-only device ID;
// data EEPROM cells (8 bits, 0xFF erased) addressed by the counter modulo the
// data size, so a count from 0x2100 lands on cell 0.
//
// Families: the chip behaves as the silicon its device ID (bits 13:5) names.
// Any ID the simulator does not know: Begin Programming writes the latched
// word, the bulk erases run by themselves. The 16F62xA: the same, but Begin
// Programming only clears bits of program and configuration words, and the
// program erase takes the configuration word along. The 16F84A: a bulk erase
// waits for a Begin Programming to run. The 12F629/675 and 16F630/676:
// factory calibration words that a bulk erase wipes. The 16F87xA (8-word row
// latches), 16F87/88 and 16F818/819 (4-word row latches, externally timed
// cycles ended by End Programming 0x17), all three with Chip Erase 0x1F.
//
// Protection: the families but the unknown one have code (CP) and data (CPD)
// protection bits in their configuration word. Once it is programmed with
// them on, protected memory reads as 0 and takes no writes, and only the
// family's erase clears them (the 16F84A's code-protect disable, the 12F629's
// and 16F62xA's program bulk erase, the chip erase of the others). Writes to
// the reserved words 0x2004/0x2005 do nothing. After an End Programming the
// next command must wait TDIS. Details in sim_families.cpp.
//
// Timing: the one-word families need Tprog (program, configuration), Tdprog
// (data) and Tera from the device record, the others their programming
// specification's times, on the clock. A command or a reset before that time
// is recorded in Violations(); a word being written is then left erased, an
// erase leaves the memory as it was. An externally timed cycle that is not
// ended by its End Programming programs nothing, also recorded. A timing of 0
// or less asks for no time. Write-protected words keep their value against
// programming and erase.
//
// All members are safe to call from any thread.
struct SimCore;

class SimChip : public serial::LinePeer {
public:
    SimChip(const device::TPicDevice& device, Clock& clock);
    ~SimChip() override;

    // LinePeer
    void OnEscape(std::uint32_t function) override;
    void OnBreak(bool on) override;
    std::uint32_t ModemStatus() override;

    // Whole memories, by chip address (program, 0x2000 config, 0x2100 data),
    // for seeding a chip and checking it against an image; no timing, no
    // protection. ReadWord answers -1 for an address the chip does not have.
    std::int32_t ReadWord(std::int32_t address) const;
    void WriteWord(std::int32_t address, std::uint16_t value);
    // As from the factory: program and configuration 0x3FFF, data 0xFF, and
    // the factory calibration words where the chip has them.
    void EraseAll();

    // Faults.
    // absent = true: no chip behind the adapter, CTS stuck on (ctsOn) or off.
    void SetNoChip(bool absent, bool ctsOn = false);
    void SetStuckBit(int bit, bool value);             // every word read has this bit stuck
    void ClearStuckBits();
    void SetWriteProtected(std::int32_t address, bool protect = true);

    // Factory calibration (12F629 family; ignored by other chips): the
    // oscillator word at the last program address (a RETLW, 0x34xx) and the
    // bandgap bits 13:12 of the configuration word. Sets both on the chip.
    void SetFactoryCalibration(std::uint16_t osccal, std::uint16_t bandgap);
    // True when the chip no longer holds its factory calibration.
    bool CalibrationLost() const;

    // Vdd comes on: the chip takes its configuration word as it is now. A
    // chip never powered up does so at its first entry into programming mode.
    // Powered up with MCLRE off and its internal oscillator (the 12F629 and
    // 12F683 families, the 12F609 family, the 16F62x(A), 16F87/88, 16F818/819
    // and 16F7x7), it never enters programming mode: it reads as no chip.
    void PowerUp();

    // Observation.
    std::vector<TimingViolation> Violations() const;
    std::int32_t AddressCounter() const;
    bool InProgrammingMode() const;
    std::uint64_t LineChanges() const;   // escape and break calls seen
    std::uint64_t CommandsSeen() const;
    const device::TPicDevice& Device() const;
    std::string FamilyName() const;      // the silicon it behaves as
    // The times the chip required of every programming and erase cycle
    // begun so far, added up (the waits no run can do without).
    std::int64_t RequiredMs() const;
    std::int64_t RequiredUs() const;
    // The programming and erase cycles begun so far.
    std::uint64_t CyclesBegun() const;

private:
    std::unique_ptr<SimCore> core_;
};

// A chip and the simulated port that carries it, for the program itself
// (users without hardware) and for tests that go through the sim driver.
// The clock given must outlive the chip.
struct SimulatorSetup {
    std::shared_ptr<SimChip> chip;
    std::shared_ptr<serial::SimPort> port;
};
SimulatorSetup MakeUserSimulator(const device::TPicDevice& device, Clock& clock);

// The device name the simulated adapter answers to.
inline constexpr const char* kSimulatorDeviceName = "\\\\.\\COM0";

// When VANDREL1_SIMULATOR names a device of picspecs.ini: that device.
std::optional<device::TPicDevice> SimulatorDeviceFromEnvironment();

// A driver factory that opens "\\.\COM0" as the simulated adapter carrying
// `chip` (through `port`), and every other name with `fallback`.
serial::PortDriverFactory MakeSimulatorFactory(std::shared_ptr<serial::SimPort> port,
                                               serial::PortDriverFactory fallback);

} // namespace vandrel::simulator
