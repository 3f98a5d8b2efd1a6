// The chip families of the simulator: what Begin Programming, the erases and
// the factory words do on each kind of silicon. Times are the programming
// specifications' figures (where sources disagree, the longer one), except
// for the two one-word families, which keep the device file's times as
// they always have.
#include <array>
#include <vector>
#include <string>

#include "common/convert.h"
#include "simulator/sim_chip_core.h"

namespace vandrel::simulator {

namespace {

constexpr int kBulkEraseSetup1 = 0x01;
constexpr int kBulkEraseSetup2 = 0x07;
constexpr int kBeginProgramming = 0x08;
constexpr int kBulkEraseProgram = 0x09;
constexpr int kEndProgrammingShort = 0x0A; // End Programming of the 12F6xx parts
constexpr int kBulkEraseData = 0x0B;
constexpr int kEndProgramming = 0x17;
constexpr int kBeginProgrammingOnly = 0x18;
constexpr int kChipErase = 0x1F;

std::string At(std::int32_t address) { return Hex4(address); }

std::string EraseName(const SimCore::ArmedErase& erase) {
    return erase.data ? "bulk erase of data memory" : "bulk erase of program memory";
}

// A bulk erase as it runs once started.
std::function<void()> EraseAction(SimCore& core, SimCore::ArmedErase erase) {
    return [&core, erase] {
        if (erase.data) {
            core.EraseData();
        } else {
            core.EraseProgram();
            if (erase.fromConfiguration)
                core.EraseConfiguration(true);
        }
    };
}

// One word (or data cell) at the counter, from the one-word latch.
void StartWordCycle(SimCore& core, bool external, std::int64_t ms, bool programOnly, int endCommand = 0) {
    if (core.latchKind == SimCore::Latch::None)
        return;
    const bool data = core.latchKind == SimCore::Latch::Data;
    const std::int32_t address = core.counter;
    const std::uint16_t value = core.latch;
    auto complete = [&core, data, address, value, programOnly] {
        if (data)
            core.ProgramCell(address, value, programOnly);
        else
            core.ProgramWord(address, value, programOnly);
    };
    // Cut short: the erase half of an erase-and-program ran, its write did not.
    std::function<void()> spoil;
    if (!programOnly)
        spoil = [&core, data, address] {
            if (data)
                core.ProgramCell(address, kErasedCell);
            else
                core.ProgramWord(address, kErasedWord);
        };
    std::string name = (data ? "data programming cycle at " : "programming cycle at ") + At(address);
    if (external)
        core.StartExternal(ms, endCommand, std::move(name), std::move(complete), std::move(spoil));
    else
        core.StartInternal(ms, std::move(name), std::move(complete), std::move(spoil));
}

// Bulk Erase Program Memory of the 16F62xA and the 12F629 family: the
// configuration word goes whatever CP is, the user IDs too when the counter
// stood in the configuration area, the EEPROM when CPD is on (DS41196G
// Table 3-1, DS41191D 2.3.1.9).
void StartProgramErase(SimCore& core, std::int64_t ms) {
    const bool ids = core.counter >= kConfigBase;
    core.StartInternal(ms, "bulk erase of program memory", [&core, ids] {
        const bool data = core.DataProtected();
        core.EraseProgram();
        core.EraseConfiguration(ids);
        if (data)
            core.EraseData();
    });
}

// ---- any chip the simulator does not know (and the 16F62xA's base) ----------
// Begin Programming writes the latched word, timed Tprog (Tdprog for data);
// the bulk erases run by themselves for Tera. Everything else is ignored.
class OneWordFamily : public SimFamily {
public:
    const char* Name() const override { return "one-word"; }
    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase>) override {
        switch (command) {
        case kBeginProgramming: WriteLatched(core); break;
        case kBulkEraseProgram: Erase(core, {false, core.counter >= kConfigBase}); break;
        case kBulkEraseData: Erase(core, {true, false}); break;
        default: break;
        }
    }

protected:
    static void WriteLatched(SimCore& core, bool programOnly = false) {
        const bool data = core.latchKind == SimCore::Latch::Data;
        StartWordCycle(core, false, data ? core.device.Tdprog : core.device.Tprog, programOnly);
    }
    static void Erase(SimCore& core, SimCore::ArmedErase erase) {
        core.StartInternal(core.device.Tera, EraseName(erase), EraseAction(core, erase));
    }
};

// ---- 16F627A/628A/648A (DS41196G) -----------------------------------------
// Begin Programming only programs program and configuration words: it
// clears bits and never sets one (§2.4.4); data cells are written whole. Bulk
// Erase Program Memory clears the program memory and the configuration word
// whatever CP is, the user IDs too when the counter stood in the
// configuration area, and the data EEPROM when CPD is on (Table 3-1). Bulk
// Erase Data Memory clears the EEPROM and leaves CPD as it is. CP is bit 13,
// CPD bit 8.
class F62xAFamily final : public OneWordFamily {
public:
    const char* Name() const override { return "16F62xA"; }
    ProtectionBits Protection() const override { return {0x2000, 0x0100}; }
    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase>) override {
        switch (command) {
        case kBeginProgramming: WriteLatched(core, core.latchKind != SimCore::Latch::Data); break;
        case kBulkEraseProgram: StartProgramErase(core, core.device.Tera); break;
        case kBulkEraseData: Erase(core, {true, false}); break;
        default: break;
        }
    }
};

// ---- 16F84A ---------------------------------------------------------------
// Begin Programming erases and programs a word. A bulk erase (0x09, 0x0B)
// does nothing until a Begin Programming (0x08 or 0x18) follows it at once;
// that one then runs the erase for Tera.
//
// Code protection (DS30262E §4): bits 13:4 are all CP, and any of them at 0
// protects program and data memory alike. A bulk erase then does nothing;
// only the code-protect disable clears it: Load Configuration, Increments to
// 0x2007, Bulk Erase Setup 1 and 2 (0x01, 0x07), Begin Programming, Tera,
// which erases every memory and the configuration word. The setup cycle
// from anywhere else erases nothing here.
class F84Family final : public OneWordFamily {
public:
    const char* Name() const override { return "16F84A"; }
    ProtectionBits Protection() const override { return {0x3FF0, 0x3FF0}; }
    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase> armed) override {
        switch (command) {
        case kBeginProgramming:
        case kBeginProgrammingOnly:
            if (armed && armed->setup == 2)
                SetupErase(core);
            else if (armed && armed->setup == 0)
                ProtectedErase(core, *armed);
            else
                WriteLatched(core, command == kBeginProgrammingOnly);
            break;
        case kBulkEraseProgram: core.armed = SimCore::ArmedErase{false, core.counter >= kConfigBase}; break;
        case kBulkEraseData: core.armed = SimCore::ArmedErase{true, false}; break;
        case kBulkEraseSetup1: core.armed = SimCore::ArmedErase{false, false, 1}; break;
        case kBulkEraseSetup2:
            if (armed && armed->setup == 1)
                core.armed = SimCore::ArmedErase{false, false, 2};
            break;
        default: break;
        }
    }

private:
    static void ProtectedErase(SimCore& core, SimCore::ArmedErase erase) {
        core.StartInternal(core.device.Tera, EraseName(erase), [&core, erase] {
            if (!core.CodeProtected())
                EraseAction(core, erase)();
        });
    }
    static void SetupErase(SimCore& core) {
        const bool atWord = core.counter == core.device.ConfigurationWord.Address;
        core.StartInternal(core.device.Tera, "bulk erase setup cycle", [&core, atWord] {
            if (!atWord)
                return;
            core.EraseConfiguration(true);
            core.EraseProgram();
            core.EraseData();
        });
    }
};

// ---- 12F629/675, 16F630/676 --------------------------------------------------
// The factory writes an oscillator calibration (RETLW k, 0x34kk) at the last
// program word and bandgap bits 13:12 into the configuration word, whose bits
// 11:9 do not exist (read 0). Begin Programming (internally timed) only
// programs, it cannot set bits; data cells are erased and written. A bulk
// erase of program memory wipes the calibration word and the whole
// configuration word; the user IDs go too when the counter stood in the
// configuration area, the EEPROM when CPD (bit 8) is on. The data erase does
// nothing while CPD is on. CP is bit 7; under it program memory reads 0
// except the calibration word. 0x18 is externally timed, ended by 0x0A, and
// leaves the configuration word alone.
class CalibratedFamily final : public SimFamily {
public:
    static constexpr std::int64_t kTprog = 3, kTprogExternal = 2, kTdprog = 6, kTera = 6;
    static constexpr std::uint16_t kConfigBits = 0x31FF, kBandgapBits = 0x3000;

    const char* Name() const override { return "12F629"; }

    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase>) override {
        const bool data = core.latchKind == SimCore::Latch::Data;
        switch (command) {
        case kBeginProgramming:
            StartWordCycle(core, false, data ? kTdprog : kTprog, !data);
            break;
        case kBeginProgrammingOnly:
            if (data || core.counter < kConfigBase)
                StartWordCycle(core, true, kTprogExternal, true, kEndProgrammingShort);
            else
                core.StartExternal(kTprogExternal, kEndProgrammingShort, "programming cycle at " + At(core.counter),
                                   [] {});
            break;
        case kBulkEraseProgram: StartProgramErase(core, kTera); break;
        case kBulkEraseData:
            core.StartInternal(kTera, "bulk erase of data memory", [&core] {
                if (!core.DataProtected())
                    core.EraseData();
            });
            break;
        default: break;
        }
    }

    ProtectionBits Protection() const override { return {0x0080, 0x0100}; }
    std::int32_t ReadableWhenProtected(const SimCore& core) const override {
        return static_cast<std::int32_t>(core.program.size()) - 1;
    }
    std::int64_t TdisUs() const override { return 1; } // DS41191D: 0.5 us

    void FactoryFresh(SimCore& core) override {
        const std::int32_t word = ConfigIndex(core);
        if (word >= 0)
            core.configBits[static_cast<std::size_t>(word)] = kConfigBits;
        WriteFactoryWords(core);
    }

    bool CalibrationLost(const SimCore& core) const override {
        const std::int32_t word = ConfigIndex(core);
        const bool osccalLost = !core.program.empty() && core.program.back() != osccal_;
        const bool bandgapLost =
            word >= 0 && (core.config[static_cast<std::size_t>(word)] & kBandgapBits) != bandgap_;
        return osccalLost || bandgapLost;
    }

    void SetFactoryCalibration(SimCore& core, std::uint16_t osccal, std::uint16_t bandgap) override {
        osccal_ = static_cast<std::uint16_t>(osccal & 0x3FFF);
        bandgap_ = static_cast<std::uint16_t>(bandgap & kBandgapBits);
        WriteFactoryWords(core);
    }

private:
    static std::int32_t ConfigIndex(const SimCore& core) { return core.ConfigurationWordIndex(); }
    void WriteFactoryWords(SimCore& core) const {
        if (!core.program.empty())
            core.program.back() = osccal_;
        if (const std::int32_t word = ConfigIndex(core); word >= 0) {
            auto& config = core.config[static_cast<std::size_t>(word)];
            config = static_cast<std::uint16_t>(((config & ~kBandgapBits) | bandgap_) & kConfigBits);
        }
    }

    std::uint16_t osccal_ = 0x3454;
    std::uint16_t bandgap_ = 0x1000;
};

// ---- 16F87xA, 16F87/88, 16F818/819 ------------------------------------------
// Program memory is written a row at a time from latches: Load Data fills the
// latch the counter's low bits select, and a programming command writes the
// whole row the counter stands in from all of them (a latch not loaded holds
// 0x3FFF); the latches then hold nothing again. 0x08 erases the row and
// programs it, 0x18 only programs (clears bits). Configuration words and
// data cells go one at a time. Chip Erase (0x1F) clears program memory, data
// memory and the configuration words, the user IDs too from the
// configuration area. A bulk erase (0x09, 0x0B) waits for a 0x08 trigger.
// CP is bit 13, CPD bit 8: Bulk Erase Program does nothing while CP is on,
// Bulk Erase Data nothing while CPD is on; only the chip erase clears them.
// After End Programming the next command waits TDIS (100 us: none is given).
struct RowTimes {
    int latches;
    bool eraseProgramExternal; // 0x08 ends with End Programming (0x17)
    std::int64_t programOnly;  // 0x18, externally timed
    std::int64_t eraseProgram; // 0x08
    std::int64_t data;         // a data cell, either command
    std::int64_t bulkErase;    // 0x09 / 0x0B after their trigger
    std::int64_t chipErase;    // 0x1F, internally timed
    const char* name;
};

// The 16F87/88 and 16F818/819 data cycle: the EEPROM's erase/write time
// of 8 ms, where the programming specification's 1 ms covers program words.
constexpr RowTimes k87xA{8, false, 1, 10, 10, 10, 10, "16F87xA"};
constexpr RowTimes k87_88{4, true, 1, 1, 8, 10, 10, "16F87/88"};
constexpr RowTimes k81x{4, true, 1, 1, 8, 2, 8, "16F818/819"};

class RowFamily final : public SimFamily {
public:
    explicit RowFamily(const RowTimes& times) : t_(times) {}
    const char* Name() const override { return t_.name; }
    ProtectionBits Protection() const override { return {0x2000, 0x0100}; }
    std::int64_t TdisUs() const override { return device::kTdisUs; }

    void Entered(SimCore&) override { ClearLatches(); }

    void LoadedProgram(SimCore& core, std::uint16_t value) override {
        if (core.counter >= kConfigBase || core.program.empty())
            return;
        const std::int32_t index = core.ProgramIndex(core.counter);
        Latch& latch = latches_[static_cast<std::size_t>(index % t_.latches)];
        latch = {true, value, index / t_.latches};
    }

    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase> armed) override {
        switch (command) {
        case kBeginProgramming:
            if (armed)
                Erase(core, *armed);
            else
                Program(core, false);
            break;
        case kBeginProgrammingOnly: Program(core, true); break;
        case kBulkEraseProgram: core.armed = SimCore::ArmedErase{false, core.counter >= kConfigBase}; break;
        case kBulkEraseData: core.armed = SimCore::ArmedErase{true, false}; break;
        case kChipErase: {
            const bool ids = core.counter >= kConfigBase;
            core.StartInternal(t_.chipErase, "chip erase", [&core, ids] {
                core.EraseProgram();
                core.EraseData();
                core.EraseConfiguration(ids);
            });
            break;
        }
        default: break;
        }
    }

private:
    struct Latch {
        bool loaded = false;
        std::uint16_t value = kErasedWord;
        std::int32_t row = 0; // the row the counter stood in at the load
    };

    void ClearLatches() { latches_.fill(Latch{}); }

    void Erase(SimCore& core, SimCore::ArmedErase erase) {
        auto action = [&core, erase] {
            if (!(erase.data ? core.DataProtected() : core.CodeProtected()))
                EraseAction(core, erase)();
        };
        if (t_.eraseProgramExternal)
            core.StartExternal(t_.bulkErase, kEndProgramming, EraseName(erase), action);
        else
            core.StartInternal(t_.bulkErase, EraseName(erase), action);
    }

    void Program(SimCore& core, bool programOnly) {
        const bool external = programOnly || t_.eraseProgramExternal;
        if (core.latchKind == SimCore::Latch::Data || core.counter >= kConfigBase) {
            const bool data = core.latchKind == SimCore::Latch::Data;
            const std::int64_t ms = data ? t_.data : programOnly ? t_.programOnly : t_.eraseProgram;
            StartWordCycle(core, external, ms, programOnly, kEndProgramming);
            return;
        }
        if (core.program.empty())
            return;
        const std::int32_t row = core.ProgramIndex(core.counter) / t_.latches;
        const std::int32_t base = row * t_.latches;
        std::array<std::uint16_t, 8> words{};
        int loaded = 0;
        for (int k = 0; k < t_.latches; ++k) {
            const Latch& latch = latches_[static_cast<std::size_t>(k)];
            words[static_cast<std::size_t>(k)] = latch.loaded ? latch.value : kErasedWord;
            if (!latch.loaded)
                continue;
            ++loaded;
            if (latch.row != row)
                core.Violation("latch " + std::to_string(k) + " loaded in row " + At(latch.row * t_.latches) +
                               " programmed into row " + At(base));
        }
        // Erasing a row whose latches were not all loaded wipes the words not reloaded.
        if (!programOnly && loaded < t_.latches)
            core.Violation("row " + At(base) + " erased and programmed with " + std::to_string(loaded) + " of " +
                           std::to_string(t_.latches) + " latches loaded");
        ClearLatches();
        const int count = t_.latches;
        auto complete = [&core, base, words, count, programOnly] {
            for (int k = 0; k < count; ++k)
                core.ProgramWord(base + k, words[static_cast<std::size_t>(k)], programOnly);
        };
        std::function<void()> spoil;
        if (!programOnly)
            spoil = [&core, base, count] {
                for (int k = 0; k < count; ++k)
                    core.ProgramWord(base + k, kErasedWord);
            };
        std::string name = "programming cycle at " + At(base);
        const std::int64_t ms = programOnly ? t_.programOnly : t_.eraseProgram;
        if (external)
            core.StartExternal(ms, kEndProgramming, std::move(name), std::move(complete), std::move(spoil));
        else
            core.StartInternal(ms, std::move(name), std::move(complete), std::move(spoil));
    }

    RowTimes t_;
    std::array<Latch, 8> latches_{};
};

// ---- wave-2 one-word families: 12F683 and kin, 12F609 and kin, 16F7x,
// 16F716, 16F87x/16F8x --------------------------------------------------------
// Each family knows only the commands of its own command table: any other
// programming or erase command, and the data commands of a chip without
// EEPROM, are violations. Writes go one word at a time (the row latches of
// these parts also take single words).
//   12F683 (DS41204G): 0x08 internally timed, program only; 0x18 externally
//     timed, ended by 0x0A; 0x09, 0x0B internally timed. Factory calibration
//     words at 0x2008/0x2009 survive a bulk erase with the counter below them
//     and are lost by one with the counter on them.
//   12F609 (DS41284C): 0x18 + 0x0A only; 0x09; no data commands; calibration 0x2008.
//   16F7x (DS30324B, DS30492B): 0x08 externally timed, ended by 0x0E; 0x09
//     Chip Erase self-timed (30 ms), taking program and configuration memory.
//   16F716 (DS40245B): 0x18 externally timed, ended by 0x0E; 0x09.
//   16F87x (DS39025F): 0x08 erases and programs; no bulk
//     erase command: the Bulk Erase Setup cycle (0x01, 0x07, 0x08, wait, 0x01,
//     0x07) erases program memory, or data memory after a data load, and from
//     the configuration word every memory but the data EEPROM.
struct WaveTimes {
    const char* name;
    int begin;           // the programming command
    int end;             // its End Programming; 0: internally timed
    bool programOnly;    // Begin Programming only clears bits
    std::int64_t tprog;  // ms
    std::int64_t tdprog; // data cell, ms (internally timed 0x08)
    std::int64_t tera;   // bulk erase, ms
    bool data;           // data EEPROM and its commands
    bool bulkErase;      // 0x09 (and 0x0B with data)
    bool setupErase;     // the Bulk Erase Setup cycle
    bool alsoEnd0A18;    // 0x18 + 0x0A as a second way (12F683 family)
};

constexpr WaveTimes k683{"12F683", kBeginProgramming, 0, true, 3, 6, 6, true, true, false, true};
constexpr WaveTimes k609{"12F609", kBeginProgrammingOnly, kEndProgrammingShort, true, 3, 0, 6, false, true, false, false};
constexpr WaveTimes k7x{"16F7x", kBeginProgramming, 0x0E, true, 1, 0, 30, false, true, false, false};
constexpr WaveTimes k716{"16F716", kBeginProgrammingOnly, 0x0E, true, 1, 0, 6, false, true, false, false};
constexpr WaveTimes k87x{"16F87x", kBeginProgramming, 0, false, 8, 8, 8, true, false, true, false};

class WaveFamily final : public SimFamily {
public:
    WaveFamily(const WaveTimes& times, std::vector<std::int32_t> calibration)
        : t_(times), calibrationAt_(std::move(calibration)) {}
    const char* Name() const override { return t_.name; }
    bool HasDataCommands() const override { return t_.data; }
    std::int64_t TdisUs() const override { return t_.end != 0 || t_.alsoEnd0A18 ? device::kTdisUs : 0; }

    void FactoryFresh(SimCore& core) override {
        if (calibrationAt_.empty())
            return;
        const auto size = static_cast<std::size_t>(calibrationAt_.back() - kConfigBase + 1);
        if (core.config.size() < size) {
            core.config.resize(size, kErasedWord);
            core.configBits.resize(size, kErasedWord);
        }
        for (std::size_t i = 0; i < calibrationAt_.size(); ++i)
            CalibrationWord(core, i) = kFactory[i % 2];
    }
    bool CalibrationLost(const SimCore& core) const override {
        for (std::size_t i = 0; i < calibrationAt_.size(); ++i)
            if (core.config[Offset(i)] != kFactory[i % 2])
                return true;
        return false;
    }

    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase> armed) override {
        const bool data = core.latchKind == SimCore::Latch::Data;
        if (t_.setupErase && SetupStep(core, command, armed))
            return;
        if (command == t_.begin) {
            const std::int64_t ms = data ? t_.tdprog : t_.tprog;
            StartWordCycle(core, t_.end != 0, ms, t_.programOnly && !data, t_.end);
        } else if (t_.alsoEnd0A18 && command == kBeginProgrammingOnly) {
            StartWordCycle(core, true, t_.tprog, !data, kEndProgrammingShort);
        } else if (t_.bulkErase && command == kBulkEraseProgram) {
            const std::int32_t at = core.counter;
            core.StartInternal(t_.tera, "bulk erase of program memory", [this, &core, at] {
                const std::vector<std::uint16_t> kept = Calibration(core);
                core.EraseProgram();
                core.EraseConfiguration(at >= kConfigBase);
                for (std::size_t i = 0; i < kept.size(); ++i)
                    if (calibrationAt_[i] > at)
                        CalibrationWord(core, i) = kept[i]; // below the counter: kept
            });
        } else if (t_.bulkErase && t_.data && command == kBulkEraseData) {
            core.StartInternal(t_.tera, "bulk erase of data memory", [&core] { core.EraseData(); });
        } else {
            core.Violation("command " + Hex4(command).substr(2) + " is not in the " + t_.name + "'s command set");
        }
    }

private:
    static constexpr std::uint16_t kFactory[2] = {0x22BE, 0x3FF8};
    std::size_t Offset(std::size_t i) const { return static_cast<std::size_t>(calibrationAt_[i] - kConfigBase); }
    std::uint16_t& CalibrationWord(SimCore& core, std::size_t i) const { return core.config[Offset(i)]; }
    std::vector<std::uint16_t> Calibration(SimCore& core) const {
        std::vector<std::uint16_t> words;
        for (std::size_t i = 0; i < calibrationAt_.size(); ++i)
            words.push_back(CalibrationWord(core, i));
        return words;
    }

    // The setup cycle: 0x01, 0x07, 0x08 (wait), 0x01, 0x07. True when the
    // command belonged to it.
    bool SetupStep(SimCore& core, int command, std::optional<SimCore::ArmedErase> armed) {
        if (command == kBulkEraseSetup1) {
            core.armed = SimCore::ArmedErase{core.latchKind == SimCore::Latch::Data, false, 1};
            return true;
        }
        if (command == kBulkEraseSetup2) {
            if (armed && armed->setup == 1)
                core.armed = SimCore::ArmedErase{armed->data, false, 2};
            return true;
        }
        if (command != kBeginProgramming || !armed || armed->setup != 2)
            return false;
        const bool data = armed->data;
        const bool atWord = core.counter == core.device.ConfigurationWord.Address;
        core.StartInternal(t_.tera, "bulk erase setup cycle", [&core, data, atWord] {
            if (data) {
                core.EraseData();
                return;
            }
            core.EraseProgram();
            if (atWord)
                core.EraseConfiguration(true);
        });
        return true;
    }

    WaveTimes t_;
    std::vector<std::int32_t> calibrationAt_;
};

} // namespace

std::unique_ptr<SimFamily> MakeWaveFamily(const device::TPicDevice& device);

std::unique_ptr<SimFamily> MakeSimFamily(const device::TPicDevice& device) {
    switch (device.DeviceIDValue & 0x3FE0) {
    case 0x0560: return std::make_unique<F84Family>();
    case 0x1040: // 16F627A
    case 0x1060: // 16F628A
    case 0x1100: // 16F648A
        return std::make_unique<F62xAFamily>();
    case 0x0F80: // 12F629
    case 0x0FC0: // 12F675
    case 0x10C0: // 16F630
    case 0x10E0: // 16F676
        return std::make_unique<CalibratedFamily>();
    case 0x0E00: // 16F876A
    case 0x0E20: // 16F877A
    case 0x0E40: // 16F873A
    case 0x0E60: // 16F874A
        return std::make_unique<RowFamily>(k87xA);
    case 0x0720: // 16F87
    case 0x0760: // 16F88
        return std::make_unique<RowFamily>(k87_88);
    case 0x04C0: // 16F818
    case 0x04E0: // 16F819
        return std::make_unique<RowFamily>(k81x);
    default: break;
    }
    return MakeWaveFamily(device);
}

namespace {
std::unique_ptr<SimFamily> Wave(const WaveTimes& t, std::vector<std::int32_t> calibration = {}) {
    return std::make_unique<WaveFamily>(t, std::move(calibration));
}
} // namespace

std::unique_ptr<SimFamily> MakeWaveFamily(const device::TPicDevice& device) {
    switch (device.DeviceIDValue & 0x3FE0) {
    case 0x0460: case 0x1080: case 0x1180: case 0x1420: case 0x1440: // 12F683, 16F684/688/631/677
    case 0x04A0: case 0x1320: case 0x1340: case 0x1400:              // 16F685/687/689/690
        return Wave(k683, {0x2008});
    case 0x0FA0: case 0x10A0:                                         // 12F635, 16F636/639
    case 0x13E0: case 0x13C0: case 0x13A0: case 0x1380: case 0x1460: // 16F913/914/916/917/946
    case 0x1200:                                                      // 16F785
        return Wave(k683, {0x2008, 0x2009});
    case 0x2000: case 0x2020: case 0x2040: case 0x2060: case 0x2080: // 16F882-887
        return Wave(k683, {0x2009});
    case 0x2240: case 0x2180: case 0x1360: case 0x2260: case 0x1240: // 12F609/615/617, 16F610/616
        return Wave(k609, {0x2008});
    case 0x00A0: case 0x0600: case 0x0620: case 0x0640: case 0x0660: // 16F72-77
    case 0x0BA0: case 0x0BE0: case 0x0EA0: case 0x0DE0:              // 16F737/747/767/777
        return Wave(k7x);
    case 0x1140: return Wave(k716);                                   // 16F716
    case 0x0D00: case 0x0D20: case 0x08E0: case 0x0960: case 0x0920: // 16F870-874
    case 0x09E0: case 0x09A0:                                         // 16F876/877
        return Wave(k87x);
    default: return std::make_unique<OneWordFamily>();
    }
}

} // namespace vandrel::simulator
