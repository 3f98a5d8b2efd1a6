// The simulated 12F629 family: factory calibration, internally timed cycles.
#include <array>
#include <string>
#include <vector>

#include "simulator/sim_family_parts.h"

namespace vandrel::simulator::families {

namespace {

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
                core.StartExternal(SimCore::Kind::Configuration, kTprogExternal, kEndProgrammingShort,
                                   "programming cycle at " + At(core.counter), [] {});
            break;
        case kBulkEraseProgram: StartProgramErase(core, kTera); break;
        case kBulkEraseData:
            core.StartInternal(SimCore::Kind::Erase, kTera, "bulk erase of data memory", [&core] {
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

} // namespace

std::unique_ptr<SimFamily> MakeCalibratedFamily(std::int32_t id) {
    switch (id) {
    case 0x0F80: // 12F629
    case 0x0FC0: // 12F675
    case 0x10C0: // 16F630
    case 0x10E0: // 16F676
        return std::make_unique<CalibratedFamily>();
    default: return nullptr;
    }
}

} // namespace vandrel::simulator::families
