#pragma once
// Inside the simulated chip (not for users of SimChip): the core every
// family shares, and the interface of the small per-family classes.
//
// The core holds the memories, decodes frames on the clock edges, answers
// reads, keeps the address counter and the one-word latch, and runs at most
// one programming or erase cycle at a time:
//   internally timed  complete once their time is up; a command or a reset
//                     before that is a violation and spoils the cycle;
//   externally timed  complete only at their End Programming command, and
//                     only if their time is up (else a violation, spoiled);
//                     any other command or a reset ends them unprogrammed,
//                     recorded as a violation.
// Everything that differs between chip families (what Begin Programming does,
// whether a bulk erase waits for a trigger, row latches, factory words) is
// the family's, chosen from the device ID bits 13:5 -- what the silicon is,
// never the device file's algorithm keys.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/clock.h"
#include "device/pic_device.h"
#include "simulator/sim_programmer.h"

namespace vandrel::simulator {

inline constexpr std::int32_t kConfigBase = 0x2000;
inline constexpr std::int32_t kDataBase = 0x2100;
inline constexpr std::uint16_t kErasedWord = 0x3FFF;
inline constexpr std::uint8_t kErasedCell = 0xFF;

class SimFamily;

struct SimCore {
    enum class Phase { Command, DataIn, ReadOut };
    enum class Latch { None, Program, Data };

    struct Cycle {
        bool active = false;
        std::optional<int> endCommand; // externally timed: ended by this command
        // On the clock's microseconds: a wait a fraction of a millisecond
        // short is as much a violation as one a whole millisecond short.
        std::int64_t startUs = 0;
        std::int64_t dueUs = 0;
        std::string name; // "programming cycle at 0002", "bulk erase of program memory"
        std::function<void()> complete;
        std::function<void()> spoil; // the effect of a cycle cut short
        // Externally timed: the longest the chip stands the programming
        // pulse (0 none). An End Programming later than that is a violation
        // and the word is not written.
        std::int64_t maxUs = 0;
    };

    // An erase command that waits for a Begin Programming (on the chips that need one).
    struct ArmedErase {
        bool data = false;
        bool fromConfiguration = false; // the counter stood in the configuration area
        int setup = 0; // Bulk Erase Setup 1 (0x01) seen: 1; then Setup 2 (0x07): 2
    };

    SimCore(const device::TPicDevice& d, Clock& c);
    ~SimCore();

    mutable std::mutex mutex;
    device::TPicDevice device;
    Clock& clock;
    std::unique_ptr<SimFamily> family;

    std::vector<std::uint16_t> program;
    std::vector<std::uint16_t> config;
    std::vector<std::uint16_t> configBits; // per configuration word: the bits it holds (others read 0)
    std::vector<std::uint8_t> data;
    std::int32_t deviceIdIndex = -1; // in `config`; read-only for the chip
    std::set<std::int32_t> protectedWords;

    // Lines as the PC left them (port side, before the adapter's inversion).
    bool rts = false, dtr = false, brk = false;

    bool programming = false;
    std::int32_t counter = 0;
    std::uint16_t latch = kErasedWord;
    Latch latchKind = Latch::None;
    std::optional<ArmedErase> armed;

    Phase phase = Phase::Command;
    int bits = 0;
    std::uint32_t shift = 0;
    int loadCommand = 0;
    std::uint16_t readWord = 0;
    int readCycle = 0;
    bool driving = false;
    int outBit = 0;

    Cycle cycle;

    bool absent = false, absentCtsOn = false;
    std::uint16_t stuckMask = 0, stuckValue = 0;

    std::vector<TimingViolation> violations;
    std::uint64_t lineChanges = 0;
    std::uint64_t commands = 0;
    std::int64_t requiredUs = 0; // the times of every cycle begun, added up
    std::int64_t tdisDueUs = 0;  // no command before this, after an End Programming
    std::uint64_t cycles = 0;    // programming and erase cycles begun

    // ---- memories (for the families) -------------------------------------

    bool IsProtected(std::int32_t address) const;
    // The (first) configuration word; 3FFF on a chip without one.
    std::uint16_t ConfigurationWord() const;
    std::int32_t ConfigurationWordIndex() const; // in `config`, or -1
    // The configuration word's code and data protection, as the family reads it.
    bool CodeProtected() const;
    bool DataProtected() const;
    // Program memory index of a counter below 0x2000 (wraps on the size); -1 without memory.
    std::int32_t ProgramIndex(std::int32_t address) const;
    // Data cells are addressed by the low bits of the counter, whatever area it is in.
    std::int32_t DataIndex(std::int32_t address) const;
    // The word the read command answers at the counter.
    std::uint16_t ProgramSideWord(std::int32_t address) const;
    // Programs a program or configuration word; `programOnly` can only clear bits.
    void ProgramWord(std::int32_t address, std::uint16_t value, bool programOnly = false);
    void ProgramCell(std::int32_t address, std::uint16_t value, bool programOnly = false);
    void EraseProgram();
    // The configuration words; with `userIds` the rest of the area too (not the device ID).
    void EraseConfiguration(bool userIds);
    void EraseData();

    // ---- cycles (for the families) -------------------------------------------

    // What a cycle does, for the time it needs: the section's maximum of
    // that kind (Maximum.*) where it gives one, else the family's own `ms`.
    enum class Kind { Program, Configuration, Data, Erase, ChipErase, Unprotect };
    std::int64_t NeedUs(Kind kind, std::int64_t ms) const;
    // The kind of a one-word cycle at the counter.
    Kind WordKind() const;

    // Internally timed; a time of 0 or less completes at once.
    void StartInternal(Kind kind, std::int64_t ms, std::string name, std::function<void()> complete,
                       std::function<void()> spoil = {});
    void StartExternal(Kind kind, std::int64_t ms, int endCommand, std::string name, std::function<void()> complete,
                       std::function<void()> spoil = {});
    void Violation(std::string text);
    // Completes a cycle whose time is up (internally timed only).
    void SettleIfDue();

    // ---- protocol ----------------------------------------------------------

    // Something happens to the chip (a command, or a reset when command < 0)
    // while a cycle runs. True when the command was the cycle's end and is used up.
    bool Interrupt(int command);
    void ResetFrame();
    void Execute(int command);
    void Load(std::uint16_t value);
    void FallingEdge();
    void RisingEdge();
    void EnterProgramming();
    void FactoryFresh();

    // ---- lock-out (sim_lock_out.cpp) -------------------------------------------

    // The configuration word the chip powered up with; none before its first entry.
    std::optional<std::uint16_t> poweredConfiguration;
    void PowerUp();
    // It powered up with MCLRE off and its internal oscillator: it runs its
    // program and MCLR to Vpp with Vdd on does not put it into programming mode.
    bool LockedOut(); // every memory erased, then the family's factory words
};

// What one chip family does differently. Called under the core's mutex.
class SimFamily {
public:
    virtual ~SimFamily() = default;
    virtual const char* Name() const = 0;
    // Every command except the loads, the reads and Increment Address. `armed`
    // is the erase the command before left waiting for its trigger (the core
    // has already cleared it).
    virtual void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase> armed) = 0;
    // Load Data for Program Memory took `value` at the core's counter.
    virtual void LoadedProgram(SimCore& /*core*/, std::uint16_t /*value*/) {}
    // Programming mode entered: latches hold nothing.
    virtual void Entered(SimCore& /*core*/) {}
    // After every memory was erased by the factory (construction, EraseAll).
    virtual void FactoryFresh(SimCore& /*core*/) {}
    virtual bool CalibrationLost(const SimCore& /*core*/) const { return false; }
    // The protection bits of the first configuration word (active low: all
    // of them at 0 protect); none on a chip the simulator does not know.
    struct ProtectionBits {
        std::uint16_t code = 0, data = 0;
    };
    virtual ProtectionBits Protection() const { return {}; }
    // A program word that reads as itself under code protection (12F629: OSCCAL); -1 none.
    virtual std::int32_t ReadableWhenProtected(const SimCore& /*core*/) const { return -1; }
    // TDIS: how long after End Programming the next command must wait.
    virtual std::int64_t TdisUs() const { return 0; }
    // False on a chip without data EEPROM, whose command set has no Load or
    // Read Data for Data Memory: sending them is a violation.
    virtual bool HasDataCommands() const { return true; }
    virtual void SetFactoryCalibration(SimCore& /*core*/, std::uint16_t /*osccal*/, std::uint16_t /*bandgap*/) {}
};

// The family of a device, by its device ID bits 13:5; the one-word family of
// the 16F62xA for any other ID.
std::unique_ptr<SimFamily> MakeSimFamily(const device::TPicDevice& device);

} // namespace vandrel::simulator
