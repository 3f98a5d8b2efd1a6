// The simulated families of the second wave: 12F683, 12F609, 16F7x, 16F716,
// 16F87x, 16F627/628 and 16F83/84.
#include <array>
#include <string>
#include <vector>

#include "common/convert.h"
#include "simulator/sim_family_parts.h"

namespace vandrel::simulator::families {

namespace {

// ---- wave-2 families: 12F683 and kin, 12F609 and kin, 16F7x, 16F716,
// 16F87x ---------------------------------------------------------------------
// Each family knows only the commands of its own command table: any other
// programming or erase command, and the data commands of a chip without
// EEPROM, are violations.
//   12F683 (DS41204G, DS41244E, DS41237C, DS41287C): 0x08 internally timed,
//     program only; 0x18 externally timed, ended by 0x0A; 0x09, 0x0B
//     internally timed. Factory calibration words at 0x2008/0x2009 survive a
//     bulk erase with the counter below them and are lost by one with the
//     counter on them. CP is bit 6, CPD bit 7: the program erase clears both
//     and takes the EEPROM along under CPD; the data erase does nothing under it.
//   12F609 (DS41284C): 0x18 + 0x0A only; 0x09; no data commands; calibration
//     0x2008; CP bit 6.
//   16F7x (DS30324B, DS30492B, DS39588A): 0x08 externally timed, ended by
//     0x0E within the pulse maximum (1 ms, the 16F72 3 ms); 0x09 Chip Erase
//     self-timed (30 ms), taking program and configuration memory. CP bit 4
//     (16F7x7: bit 13).
//   16F716 (DS40245B): 0x18 externally timed, ended by 0x0E; 0x09; CP bit 13.
//   16F87x (DS39025F): 0x08 erases and programs; no bulk erase command: the
//     Bulk Erase Setup cycle (0x01, 0x07, 0x08, wait, 0x01, 0x07) erases
//     program memory, or data memory after a data load, and from the
//     configuration word every memory but the data EEPROM (that too on a
//     protected chip). Under CP (bits 13:12 and 5:4) or CPD (bit 8) the setup
//     cycle from anywhere else erases nothing.
//
// Program memory of the program-only families is written from 2, 4 or 8
// write latches: Load Data fills the latch the counter's low bits select,
// and Begin Programming programs the whole row the counter stands in from
// all of them (a latch not loaded holds 0x3FFF, which clears nothing, so a
// one-word write is a row write too); the latches are then all 0x3FFF
// again. Configuration-space words go one at a time. (A configuration-space
// write on the 12F683 family leaves the latches loaded, DS41204G 3.1.1, but
// the counter cannot leave that space before a reset, which empties them.)
// The 16F7x/7x7 pulse: DS30324B and DS30492B give 1 ms as both its minimum
// and its maximum ("about 1 ms"); a pulse that lasts until End Programming
// is decoded carries that command's frame too, so the chip here stands half
// a millisecond more. The 16F72's maximum is 3 ms (DS39588A).
constexpr std::int64_t kMaxPulse7xUs = 1500;
// The externally timed 0x18 of the 16F88x and the 16F785: TPROG2 2.5 ms at
// most (DS41287C, DS41237C); the other 12F683-family parts give no maximum.
constexpr std::int64_t kMaxPulse18Us = 2500;

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
    std::uint16_t cp, cpd;
};

constexpr WaveTimes k683{"12F683", kBeginProgramming, 0, true, 3, 6, 6, true, true, false, true, 0x0040, 0x0080};
constexpr WaveTimes k609{"12F609",     kBeginProgrammingOnly, kEndProgrammingShort, true, 3, 0, 6, false, true,
                         false,        false,                 0x0040,               0};
constexpr WaveTimes k7x{"16F7x", kBeginProgramming, 0x0E, true, 1, 0, 30, false, true, false, false, 0x0010, 0};
constexpr WaveTimes k7x7{"16F7x7", kBeginProgramming, 0x0E, true, 1, 0, 30, false, true, false, false, 0x2000, 0};
constexpr WaveTimes k716{"16F716", kBeginProgrammingOnly, 0x0E, true, 1, 0, 6, false, true, false, false, 0x2000, 0};
constexpr WaveTimes k87x{"16F87x", kBeginProgramming, 0, false, 8, 8, 8, true, false, true, false, 0x3030, 0x0100};

// What the silicon of one device adds to its family's times.
struct WavePart {
    std::vector<std::int32_t> calibrationAt; // factory words in the configuration space
    std::vector<std::uint16_t> factory;      // their values
    int latches = 1;                         // program-memory write latches
    std::int64_t maxPulseUs = 0;             // longest externally timed pulse (0: none)
};

class WaveFamily final : public SimFamily {
public:
    WaveFamily(const WaveTimes& times, WavePart part) : t_(times), p_(std::move(part)) {}
    const char* Name() const override { return t_.name; }
    bool HasDataCommands() const override { return t_.data; }
    std::int64_t TdisUs() const override { return t_.end != 0 || t_.alsoEnd0A18 ? device::kTdisUs : 0; }
    ProtectionBits Protection() const override { return {t_.cp, t_.cpd}; }

    void Entered(SimCore&) override { latches_.fill(kErasedWord); }
    void LoadedProgram(SimCore& core, std::uint16_t value) override {
        if (p_.latches > 1)
            latches_[static_cast<std::size_t>(core.counter & (p_.latches - 1))] = value;
    }

    void FactoryFresh(SimCore& core) override {
        if (p_.calibrationAt.empty())
            return;
        const auto size = static_cast<std::size_t>(p_.calibrationAt.back() - kConfigBase + 1);
        if (core.config.size() < size) {
            core.config.resize(size, kErasedWord);
            core.configBits.resize(size, kErasedWord);
        }
        for (std::size_t i = 0; i < p_.calibrationAt.size(); ++i)
            CalibrationWord(core, i) = p_.factory[i];
    }
    bool CalibrationLost(const SimCore& core) const override {
        for (std::size_t i = 0; i < p_.calibrationAt.size(); ++i)
            if (core.config[Offset(i)] != p_.factory[i])
                return true;
        return false;
    }

    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase> armed) override {
        const bool data = core.latchKind == SimCore::Latch::Data;
        if (t_.setupErase && SetupStep(core, command, armed))
            return;
        if (command == t_.begin) {
            Write(core, t_.end != 0, data ? t_.tdprog : t_.tprog, t_.programOnly && !data, t_.end);
        } else if (t_.alsoEnd0A18 && command == kBeginProgrammingOnly) {
            Write(core, true, t_.tprog, !data, kEndProgrammingShort);
        } else if (t_.bulkErase && command == kBulkEraseProgram) {
            const std::int32_t at = core.counter;
            core.StartInternal(SimCore::Kind::Erase, t_.tera, "bulk erase of program memory", [this, &core, at] {
                const std::vector<std::uint16_t> kept = Calibration(core);
                const bool withData = core.DataProtected();
                core.EraseProgram();
                core.EraseConfiguration(at >= kConfigBase);
                if (withData)
                    core.EraseData();
                for (std::size_t i = 0; i < kept.size(); ++i)
                    if (p_.calibrationAt[i] > at)
                        CalibrationWord(core, i) = kept[i]; // below the counter: kept
            });
        } else if (t_.bulkErase && t_.data && command == kBulkEraseData) {
            core.StartInternal(SimCore::Kind::Erase, t_.tera, "bulk erase of data memory", [&core] {
                if (!core.DataProtected())
                    core.EraseData();
            });
        } else {
            core.Violation("command " + Hex4(command).substr(2) + " is not in the " + t_.name + "'s command set");
        }
    }

private:
    std::size_t Offset(std::size_t i) const { return static_cast<std::size_t>(p_.calibrationAt[i] - kConfigBase); }
    std::uint16_t& CalibrationWord(SimCore& core, std::size_t i) const { return core.config[Offset(i)]; }
    std::vector<std::uint16_t> Calibration(SimCore& core) const {
        std::vector<std::uint16_t> words;
        for (std::size_t i = 0; i < p_.calibrationAt.size(); ++i)
            words.push_back(CalibrationWord(core, i));
        return words;
    }

    // A programming command: one word (data cells, the configuration space,
    // the one-latch parts) or the latched row.
    void Write(SimCore& core, bool external, std::int64_t ms, bool programOnly, int endCommand) {
        const bool row = p_.latches > 1 && core.latchKind == SimCore::Latch::Program && core.counter < kConfigBase &&
                         !core.program.empty();
        if (!row) {
            StartWordCycle(core, external, ms, programOnly, endCommand);
            latches_.fill(kErasedWord);
        } else {
            const std::int32_t base = core.ProgramIndex(core.counter) & ~(p_.latches - 1);
            const std::array<std::uint16_t, 8> words = latches_;
            latches_.fill(kErasedWord);
            const int count = p_.latches;
            auto complete = [&core, base, words, count] {
                for (int k = 0; k < count; ++k)
                    core.ProgramWord(base + k, words[static_cast<std::size_t>(k)], true);
            };
            std::string name = "programming cycle at " + At(base);
            if (external)
                core.StartExternal(SimCore::Kind::Program, ms, endCommand, std::move(name), std::move(complete));
            else
                core.StartInternal(SimCore::Kind::Program, ms, std::move(name), std::move(complete));
        }
        if (external)
            core.cycle.maxUs = p_.maxPulseUs;
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
        core.StartInternal(atWord ? SimCore::Kind::Unprotect : SimCore::Kind::Erase, t_.tera, "bulk erase setup cycle",
                           [&core, data, atWord] {
            const bool locked = core.CodeProtected() || core.DataProtected();
            if (atWord) {
                core.EraseProgram();
                core.EraseConfiguration(true);
                if (locked)
                    core.EraseData();
            } else if (!locked) {
                if (data)
                    core.EraseData();
                else
                    core.EraseProgram();
            }
        });
        return true;
    }

    WaveTimes t_;
    WavePart p_;
    std::array<std::uint16_t, 8> latches_{};
};

// ---- 16F627/628 (DS30034D) and 16F83/84 (DS30262E) ---------------------------
// Begin Programming 0x08 erases and programs a word (the 627/628 also have
// 0x18, program only); both internally timed. A bulk erase (0x09, 0x0B) does
// nothing until a Begin Programming follows it at once; that one runs it for
// Tera. With the counter in the configuration area the program erase takes
// the user IDs too, never the configuration word. Under code protection a
// bulk erase erases nothing: the Bulk Erase Setup cycle (0x01, 0x07, 0x08,
// wait, 0x01, 0x07) with the counter on the configuration word clears every
// memory and the word (Tera + Tprog). On the 16F83/84 the setup cycle from
// elsewhere is their normal erase: program memory, or the data memory after
// a data load; on the 627/628 it erases nothing there.
struct TriggeredTimes {
    const char* name;
    std::int64_t tprog, tera, setup; // ms
    bool programOnly18;              // 0x18 Begin Programming Only
    bool setupErasesMemory;          // the setup cycle away from the configuration word
    std::uint16_t cp, cpd;
};

constexpr TriggeredTimes k62x{"16F627", 8, 5, 13, true, false, 0x3C00, 0x0100};
constexpr TriggeredTimes k8x{"16F84", 20, 10, 10, false, true, 0x3FF0, 0x3FF0};

class TriggeredFamily final : public SimFamily {
public:
    explicit TriggeredFamily(const TriggeredTimes& times) : t_(times) {}
    const char* Name() const override { return t_.name; }
    ProtectionBits Protection() const override { return {t_.cp, t_.cpd}; }

    void Command(SimCore& core, int command, std::optional<SimCore::ArmedErase> armed) override {
        const bool data = core.latchKind == SimCore::Latch::Data;
        switch (command) {
        case kBeginProgrammingOnly:
            if (!t_.programOnly18)
                break;
            [[fallthrough]];
        case kBeginProgramming:
            if (armed && armed->setup == 2)
                Setup(core, armed->data);
            else if (armed && armed->setup == 0)
                BulkErase(core, *armed);
            else
                StartWordCycle(core, false, t_.tprog, command == kBeginProgrammingOnly);
            return;
        case kBulkEraseProgram: core.armed = SimCore::ArmedErase{false, core.counter >= kConfigBase}; return;
        case kBulkEraseData: core.armed = SimCore::ArmedErase{true, false}; return;
        case kBulkEraseSetup1: core.armed = SimCore::ArmedErase{data, false, 1}; return;
        case kBulkEraseSetup2:
            if (armed && armed->setup == 1)
                core.armed = SimCore::ArmedErase{armed->data, false, 2};
            return;
        default: break;
        }
        core.Violation("command " + Hex4(command).substr(2) + " is not in the " + t_.name + "'s command set");
    }

private:
    void BulkErase(SimCore& core, SimCore::ArmedErase erase) {
        core.StartInternal(SimCore::Kind::Erase, t_.tera, EraseName(erase), [&core, erase] {
            if (erase.data ? core.DataProtected() : core.CodeProtected())
                return;
            if (erase.data) {
                core.EraseData();
                return;
            }
            core.EraseProgram();
            if (erase.fromConfiguration)
                for (std::int32_t a = core.device.UserID.Address; a < core.device.UserID.Address + core.device.UserID.Size;
                     ++a)
                    if (a >= kConfigBase && a - kConfigBase < static_cast<std::int32_t>(core.config.size()))
                        core.config[static_cast<std::size_t>(a - kConfigBase)] = kErasedWord;
        });
    }
    void Setup(SimCore& core, bool data) {
        const bool atWord = core.counter == core.device.ConfigurationWord.Address;
        const bool memory = t_.setupErasesMemory;
        core.StartInternal(atWord ? SimCore::Kind::Unprotect : SimCore::Kind::Erase, t_.setup,
                           "bulk erase setup cycle", [&core, atWord, data, memory] {
            if (atWord) {
                core.EraseConfiguration(true);
                core.EraseProgram();
                core.EraseData();
            } else if (memory && !(data ? core.DataProtected() : core.CodeProtected())) {
                if (data)
                    core.EraseData();
                else
                    core.EraseProgram();
            }
        });
    }

    TriggeredTimes t_;
};

std::unique_ptr<SimFamily> Wave(const WaveTimes& t, WavePart part = {}) {
    return std::make_unique<WaveFamily>(t, std::move(part));
}

// Factory calibration words as real chips read them (12F683 0x22BE, 16F688
// 0x24F8, 16F886 0x2278, 16F887 0x21FF, 16F917 0x2036/0x3FF8, 12F615 0x217F,
// 12F617 0x23FF); a part without a known reading takes its kin's.
WavePart Calibrated(std::vector<std::int32_t> at, std::vector<std::uint16_t> factory, int latches,
                    std::int64_t maxPulseUs = 0) {
    return WavePart{std::move(at), std::move(factory), latches, maxPulseUs};
}

} // namespace

std::unique_ptr<SimFamily> MakeWaveFamily(std::int32_t id) {
    switch (id) {
    case 0x0460: case 0x1080: case 0x1420: case 0x1440:              // 12F683, 16F684/631/677
    case 0x04A0: case 0x1320: case 0x1340: case 0x1400:              // 16F685/687/689/690
        return Wave(k683, Calibrated({0x2008}, {0x22BE}, 4));
    case 0x1180: return Wave(k683, Calibrated({0x2008}, {0x24F8}, 4)); // 16F688
    case 0x0FA0: case 0x10A0: case 0x13E0: case 0x13C0:              // 12F635, 16F636/639, 16F913/914
        return Wave(k683, Calibrated({0x2008, 0x2009}, {0x2036, 0x3FF8}, 4));
    case 0x1200:                                                      // 16F785
        return Wave(k683, Calibrated({0x2008, 0x2009}, {0x2036, 0x3FF8}, 4, kMaxPulse18Us));
    case 0x13A0: case 0x1380: case 0x1460:                            // 16F916/917/946
        return Wave(k683, Calibrated({0x2008, 0x2009}, {0x2036, 0x3FF8}, 8));
    case 0x2000: case 0x2020: case 0x2040:                            // 16F882/883/884
        return Wave(k683, Calibrated({0x2009}, {0x2278}, 4, kMaxPulse18Us));
    case 0x2060: return Wave(k683, Calibrated({0x2009}, {0x2278}, 8, kMaxPulse18Us)); // 16F886
    case 0x2080: return Wave(k683, Calibrated({0x2009}, {0x21FF}, 8, kMaxPulse18Us)); // 16F887
    case 0x2240: case 0x2180: case 0x2260:                            // 12F609/615, 16F610
        return Wave(k609, Calibrated({0x2008}, {0x217F}, 1));
    case 0x1240: return Wave(k609, Calibrated({0x2008}, {0x217F}, 4)); // 16F616
    case 0x1360: return Wave(k609, Calibrated({0x2008}, {0x23FF}, 4)); // 12F617
    case 0x00A0: return Wave(k7x, WavePart{{}, {}, 2, 3000});          // 16F72: 3 ms
    case 0x0600: case 0x0620: case 0x0640: case 0x0660:              // 16F73-77
        return Wave(k7x, WavePart{{}, {}, 2, kMaxPulse7xUs});
    case 0x0BA0: case 0x0BE0: case 0x0EA0: case 0x0DE0:              // 16F737/747/767/777
        return Wave(k7x7, WavePart{{}, {}, 2, kMaxPulse7xUs});
    case 0x1140: return Wave(k716, WavePart{{}, {}, 4, 0});            // 16F716
    case 0x0D00: case 0x0D20: case 0x08E0: case 0x0960: case 0x0920: // 16F870-874
    case 0x09E0: case 0x09A0:                                         // 16F876/877
        return Wave(k87x);
    case 0x07A0: case 0x07C0:                                         // 16F627/628
        return std::make_unique<TriggeredFamily>(k62x);
    default: return nullptr;
    }
}

std::unique_ptr<SimFamily> MakeIdlessFamily(const std::string& name) {
    if (name == "PIC16F83" || name == "PIC16F84")
        return std::make_unique<TriggeredFamily>(k8x);
    return nullptr;
}

} // namespace vandrel::simulator::families
