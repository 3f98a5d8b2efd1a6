// The chip families of the simulator: what Begin Programming, the erases and
// the factory words do on each kind of silicon. A cycle needs the maximum
// the device's section gives for its kind (Maximum.*, SimCore::NeedUs);
// without one, the family's time: the programming specifications' figures
// (where sources disagree, the longer one), except for the two one-word
// families, which keep the device file's times as they always have.
#include <array>
#include <vector>
#include <string>

#include "common/convert.h"
#include "simulator/sim_chip_core.h"
#include "simulator/sim_family_parts.h"

namespace vandrel::simulator {

namespace families {
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
void StartWordCycle(SimCore& core, bool external, std::int64_t ms, bool programOnly, int endCommand) {
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
    const SimCore::Kind kind = core.WordKind();
    if (external)
        core.StartExternal(kind, ms, endCommand, std::move(name), std::move(complete), std::move(spoil));
    else
        core.StartInternal(kind, ms, std::move(name), std::move(complete), std::move(spoil));
}

// Bulk Erase Program Memory of the 16F62xA and the 12F629 family: the
// configuration word goes whatever CP is, the user IDs too when the counter
// stood in the configuration area, the EEPROM when CPD is on (DS41196G
// Table 3-1, DS41191D 2.3.1.9).
void StartProgramErase(SimCore& core, std::int64_t ms) {
    const bool ids = core.counter >= kConfigBase;
    core.StartInternal(SimCore::Kind::Erase, ms, "bulk erase of program memory", [&core, ids] {
        const bool data = core.DataProtected();
        core.EraseProgram();
        core.EraseConfiguration(ids);
        if (data)
            core.EraseData();
    });
}

} // namespace families

namespace {

using namespace families;

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
        core.StartInternal(SimCore::Kind::Erase, core.device.Tera, EraseName(erase), EraseAction(core, erase));
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
        core.StartInternal(SimCore::Kind::Erase, core.device.Tera, EraseName(erase), [&core, erase] {
            if (!core.CodeProtected())
                EraseAction(core, erase)();
        });
    }
    static void SetupErase(SimCore& core) {
        const bool atWord = core.counter == core.device.ConfigurationWord.Address;
        core.StartInternal(atWord ? SimCore::Kind::Unprotect : SimCore::Kind::Erase, core.device.Tera,
                           "bulk erase setup cycle", [&core, atWord] {
            if (!atWord)
                return;
            core.EraseConfiguration(true);
            core.EraseProgram();
            core.EraseData();
        });
    }
};

} // namespace

std::unique_ptr<SimFamily> MakeSimFamily(const device::TPicDevice& device) {
    if (device.DeviceIDValue < 0)
        if (auto family = families::MakeIdlessFamily(device.Name))
            return family;
    const std::int32_t id = device.DeviceIDValue & 0x3FE0;
    switch (id) {
    case 0x0560: return std::make_unique<F84Family>();
    case 0x1040: // 16F627A
    case 0x1060: // 16F628A
    case 0x1100: // 16F648A
        return std::make_unique<F62xAFamily>();
    default: break;
    }
    for (auto make : {MakeCalibratedFamily, MakeRowFamily, MakeWaveFamily})
        if (auto family = make(id))
            return family;
    return std::make_unique<OneWordFamily>();
}

} // namespace vandrel::simulator
