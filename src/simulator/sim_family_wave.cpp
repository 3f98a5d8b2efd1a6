// The simulated one-word families of the second wave: 12F683, 12F609, 16F7x, 16F716, 16F87x.
#include <array>
#include <string>
#include <vector>

#include "common/convert.h"
#include "simulator/sim_family_parts.h"

namespace vandrel::simulator::families {

namespace {

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

std::unique_ptr<SimFamily> Wave(const WaveTimes& t, std::vector<std::int32_t> calibration = {}) {
    return std::make_unique<WaveFamily>(t, std::move(calibration));
}

} // namespace

std::unique_ptr<SimFamily> MakeWaveFamily(std::int32_t id) {
    switch (id) {
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
    default: return nullptr;
    }
}

} // namespace vandrel::simulator::families
