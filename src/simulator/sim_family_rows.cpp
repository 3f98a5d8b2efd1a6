// The simulated row-latch families: 16F87xA, 16F87/88, 16F818/819.
#include <array>
#include <string>
#include <vector>

#include "simulator/sim_family_parts.h"

namespace vandrel::simulator::families {

namespace {

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
            core.StartInternal(SimCore::Kind::ChipErase, t_.chipErase, "chip erase", [&core, ids] {
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
            core.StartExternal(SimCore::Kind::Erase, t_.bulkErase, kEndProgramming, EraseName(erase), action);
        else
            core.StartInternal(SimCore::Kind::Erase, t_.bulkErase, EraseName(erase), action);
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
            core.StartExternal(SimCore::Kind::Program, ms, kEndProgramming, std::move(name), std::move(complete),
                               std::move(spoil));
        else
            core.StartInternal(SimCore::Kind::Program, ms, std::move(name), std::move(complete), std::move(spoil));
    }

    RowTimes t_;
    std::array<Latch, 8> latches_{};
};

} // namespace

std::unique_ptr<SimFamily> MakeRowFamily(std::int32_t id) {
    switch (id) {
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
    default: return nullptr;
    }
}

} // namespace vandrel::simulator::families
