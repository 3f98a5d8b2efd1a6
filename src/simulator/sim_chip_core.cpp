#include "simulator/sim_chip_core.h"

#include <algorithm>
#include <cstdio>

#include "common/convert.h"
#include "programmer/farm_link.h"

namespace vandrel::simulator {

namespace {

// The chip decodes the same command set the link sends.
constexpr int kCmdLoadConfiguration = programmer::kLoadConfiguration;
constexpr int kCmdLoadProgram = programmer::kLoadDataForProgramMemory;
constexpr int kCmdLoadData = programmer::kLoadDataForDataMemory;
constexpr int kCmdReadProgram = programmer::kReadDataFromProgramMemory;
constexpr int kCmdReadData = programmer::kReadDataFromDataMemory;
constexpr int kCmdIncrement = programmer::kIncrementAddress;

std::int32_t RangeEnd(device::TMemoryRange range) {
    return range.Size > 0 ? std::int32_t{range.Address} + range.Size : 0;
}

// Whole milliseconds as "8", others to the microsecond: "7.999".
std::string MsText(std::int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(us / 1000),
                  static_cast<long long>(us % 1000));
    std::string ms = text;
    ms.erase(ms.find_last_not_of('0') + 1);
    if (ms.back() == '.')
        ms.pop_back();
    return ms;
}

std::string CommandName(int command) { return command < 0 ? "reset" : "command " + Hex4(command).substr(2); }

} // namespace

SimCore::SimCore(const device::TPicDevice& d, Clock& c) : device(d), clock(c), family(MakeSimFamily(d)) {
    const std::int32_t programSize = std::clamp(RangeEnd(device.ProgramMemory), 0, kConfigBase);
    program.assign(static_cast<std::size_t>(programSize), kErasedWord);

    std::int32_t configEnd = kConfigBase + 8;
    for (const auto& range : {device.ConfigurationMemory, device.UserID, device.DeviceID, device.ConfigurationWord})
        if (range.Address >= kConfigBase)
            configEnd = std::max(configEnd, RangeEnd(range));
    if (device.DeviceID.Address >= kConfigBase)
        configEnd = std::max(configEnd, device.DeviceID.Address + 1);
    configEnd = std::min(configEnd, kDataBase);
    config.assign(static_cast<std::size_t>(configEnd - kConfigBase), kErasedWord);
    configBits.assign(config.size(), kErasedWord);
    if (device.DeviceID.Address >= kConfigBase && device.DeviceID.Address < configEnd) {
        deviceIdIndex = device.DeviceID.Address - kConfigBase;
        config[static_cast<std::size_t>(deviceIdIndex)] = static_cast<std::uint16_t>(device.DeviceIDValue & 0x3FFF);
    }

    const std::int32_t dataSize = std::clamp<std::int32_t>(device.DataMemory.Size, 0, 0x4000 - kDataBase);
    data.assign(static_cast<std::size_t>(dataSize), kErasedCell);
    family->FactoryFresh(*this);
}

SimCore::~SimCore() = default;

// ---- memories ----------------------------------------------------------------

bool SimCore::IsProtected(std::int32_t address) const {
    return !protectedWords.empty() && protectedWords.count(address) != 0;
}

std::int32_t SimCore::ConfigurationWordIndex() const {
    const std::int32_t offset = device.ConfigurationWord.Address - kConfigBase;
    return device.ConfigurationWord.Size > 0 && offset >= 0 && offset < static_cast<std::int32_t>(config.size()) &&
                   offset != deviceIdIndex
               ? offset
               : -1;
}

std::uint16_t SimCore::ConfigurationWord() const {
    const std::int32_t index = ConfigurationWordIndex();
    return index < 0 ? kErasedWord : config[static_cast<std::size_t>(index)];
}

bool SimCore::CodeProtected() const {
    const std::uint16_t bits = family->Protection().code;
    return bits != 0 && (ConfigurationWord() & bits) == 0;
}

bool SimCore::DataProtected() const {
    const std::uint16_t bits = family->Protection().data;
    return bits != 0 && (ConfigurationWord() & bits) == 0;
}

std::int32_t SimCore::ProgramIndex(std::int32_t address) const {
    return program.empty() ? -1 : static_cast<std::int32_t>(static_cast<std::size_t>(address) % program.size());
}

std::int32_t SimCore::DataIndex(std::int32_t address) const {
    return data.empty() ? -1 : static_cast<std::int32_t>(static_cast<std::size_t>(address) % data.size());
}

std::uint16_t SimCore::ProgramSideWord(std::int32_t address) const {
    if (address < kConfigBase) {
        const std::int32_t index = ProgramIndex(address);
        if (index < 0 || (CodeProtected() && index != family->ReadableWhenProtected(*this)))
            return 0;
        return program[static_cast<std::size_t>(index)];
    }
    const std::int32_t offset = address - kConfigBase;
    return offset < static_cast<std::int32_t>(config.size()) ? config[static_cast<std::size_t>(offset)] : 0;
}

void SimCore::ProgramWord(std::int32_t address, std::uint16_t value, bool programOnly) {
    value &= 0x3FFF;
    if (address < kConfigBase) {
        const std::int32_t index = ProgramIndex(address);
        if (index < 0 || IsProtected(index) || CodeProtected())
            return;
        auto& word = program[static_cast<std::size_t>(index)];
        word = programOnly ? static_cast<std::uint16_t>(word & value) : value;
        return;
    }
    const std::int32_t offset = address - kConfigBase;
    // 0x2004 and 0x2005 are reserved: a write there does nothing.
    if (offset >= static_cast<std::int32_t>(config.size()) || offset == deviceIdIndex || offset == 4 ||
        offset == 5 || IsProtected(address))
        return;
    const auto i = static_cast<std::size_t>(offset);
    if (offset == ConfigurationWordIndex()) {
        // A protection once on stays on until the family's erase.
        const SimFamily::ProtectionBits bits = family->Protection();
        const std::uint16_t kept = (CodeProtected() ? bits.code : 0) | (DataProtected() ? bits.data : 0);
        value = static_cast<std::uint16_t>(value & ~kept);
    }
    config[i] = static_cast<std::uint16_t>((programOnly ? config[i] & value : value) & configBits[i]);
}

void SimCore::ProgramCell(std::int32_t address, std::uint16_t value, bool programOnly) {
    const std::int32_t index = DataIndex(address);
    if (index < 0 || IsProtected(kDataBase + index) || DataProtected())
        return;
    auto& cell = data[static_cast<std::size_t>(index)];
    cell = static_cast<std::uint8_t>((programOnly ? cell & value : value) & 0xFF);
}

void SimCore::EraseProgram() {
    for (std::size_t i = 0; i < program.size(); ++i)
        if (!IsProtected(static_cast<std::int32_t>(i)))
            program[i] = kErasedWord;
}

void SimCore::EraseConfiguration(bool userIds) {
    for (std::size_t i = 0; i < config.size(); ++i) {
        const auto address = kConfigBase + static_cast<std::int32_t>(i);
        if (static_cast<std::int32_t>(i) == deviceIdIndex || IsProtected(address))
            continue;
        if (userIds || device::InRange(address, device.ConfigurationWord))
            config[i] = static_cast<std::uint16_t>(kErasedWord & configBits[i]);
    }
}

void SimCore::EraseData() {
    for (std::size_t i = 0; i < data.size(); ++i)
        if (!IsProtected(kDataBase + static_cast<std::int32_t>(i)))
            data[i] = kErasedCell;
}

void SimCore::FactoryFresh() {
    std::fill(program.begin(), program.end(), kErasedWord);
    for (std::size_t i = 0; i < config.size(); ++i)
        if (static_cast<std::int32_t>(i) != deviceIdIndex)
            config[i] = static_cast<std::uint16_t>(kErasedWord & configBits[i]);
    std::fill(data.begin(), data.end(), kErasedCell);
    family->FactoryFresh(*this);
}

// ---- cycles ------------------------------------------------------------------

std::int64_t SimCore::NeedUs(Kind kind, std::int64_t ms) const {
    const device::TMaxima& m = device.Maxima;
    const std::optional<std::int32_t>& most = kind == Kind::Program         ? m.Program
                                              : kind == Kind::Configuration ? m.Configuration
                                              : kind == Kind::Data          ? m.Data
                                              : kind == Kind::Erase         ? m.Erase
                                              : kind == Kind::ChipErase     ? m.ChipErase
                                                                            : m.Unprotect;
    return most ? *most : std::max<std::int64_t>(ms, 0) * 1000;
}

SimCore::Kind SimCore::WordKind() const {
    if (latchKind == Latch::Data)
        return Kind::Data;
    return counter >= kConfigBase ? Kind::Configuration : Kind::Program;
}

void SimCore::StartInternal(Kind kind, std::int64_t ms, std::string name, std::function<void()> complete,
                            std::function<void()> spoil) {
    ++cycles;
    const std::int64_t us = NeedUs(kind, ms);
    if (us <= 0) { // no timing requirement
        complete();
        return;
    }
    requiredUs += us;
    const std::int64_t now = clock.NowUs();
    cycle = Cycle{true, std::nullopt, now, now + us, std::move(name), std::move(complete), std::move(spoil)};
}

void SimCore::StartExternal(Kind kind, std::int64_t ms, int endCommand, std::string name,
                            std::function<void()> complete, std::function<void()> spoil) {
    ++cycles;
    const std::int64_t us = NeedUs(kind, ms);
    requiredUs += us;
    const std::int64_t now = clock.NowUs();
    cycle = Cycle{true, endCommand, now, now + us, std::move(name), std::move(complete), std::move(spoil)};
}

void SimCore::Violation(std::string text) { violations.push_back({clock.NowMs(), std::move(text)}); }

void SimCore::SettleIfDue() {
    if (cycle.active && !cycle.endCommand && clock.NowUs() >= cycle.dueUs) {
        cycle.active = false;
        cycle.complete();
    }
}

bool SimCore::Interrupt(int command) {
    if (!cycle.active)
        return false;
    cycle.active = false;
    const std::int64_t now = clock.NowUs();
    const bool due = now >= cycle.dueUs;
    const std::string timing =
        MsText(now - cycle.startUs) + " ms into the " + MsText(cycle.dueUs - cycle.startUs) + " ms " + cycle.name;
    if (!cycle.endCommand) {
        if (due) {
            cycle.complete();
        } else {
            Violation(CommandName(command) + " " + timing);
            if (cycle.spoil)
                cycle.spoil();
        }
        return false;
    }
    if (command == *cycle.endCommand) {
        if (due && cycle.maxUs > 0 && now - cycle.startUs > cycle.maxUs) {
            Violation("End Programming " + timing + ", past its " + MsText(cycle.maxUs) + " ms maximum");
            if (cycle.spoil)
                cycle.spoil();
        } else if (due) {
            cycle.complete();
        } else {
            Violation("End Programming " + timing);
            if (cycle.spoil)
                cycle.spoil();
        }
        return true;
    }
    // Without its End Programming the cycle programs nothing.
    Violation(CommandName(command) + " " + timing + ", which was never ended");
    return false;
}

// ---- protocol ----------------------------------------------------------------

void SimCore::ResetFrame() {
    phase = Phase::Command;
    bits = 0;
    shift = 0;
    driving = false;
}

void SimCore::Execute(int command) {
    ++commands;
    const std::int64_t now = clock.NowUs();
    if (now < tdisDueUs)
        Violation(CommandName(command) + " " + MsText(now - (tdisDueUs - family->TdisUs())) +
                  " ms after End Programming, within TDIS (" + MsText(family->TdisUs()) + " ms)");
    tdisDueUs = 0;
    if (Interrupt(command)) {
        tdisDueUs = now + family->TdisUs();
        return;
    }
    const std::optional<ArmedErase> wasArmed = armed;
    armed.reset();
    if ((command == kCmdLoadData || command == kCmdReadData) && !family->HasDataCommands())
        Violation(CommandName(command) + " sent to a chip without data memory commands");
    switch (command) {
    case kCmdLoadConfiguration:
    case kCmdLoadProgram:
    case kCmdLoadData:
        loadCommand = command;
        phase = Phase::DataIn;
        break;
    case kCmdReadProgram:
    case kCmdReadData: {
        std::uint16_t word = 0;
        if (command == kCmdReadProgram) {
            word = ProgramSideWord(counter);
        } else {
            const std::int32_t index = DataIndex(counter);
            word = index >= 0 && !DataProtected() ? data[static_cast<std::size_t>(index)] : 0;
        }
        readWord = static_cast<std::uint16_t>(((word & ~stuckMask) | stuckValue) & 0x3FFF);
        readCycle = 0;
        phase = Phase::ReadOut;
        break;
    }
    case kCmdIncrement:
        counter = (counter + 1) & 0x3FFF;
        break;
    default:
        family->Command(*this, command, wasArmed);
        break;
    }
}

void SimCore::Load(std::uint16_t value) {
    latch = value;
    if (loadCommand == kCmdLoadConfiguration) {
        counter = kConfigBase;
        latchKind = Latch::Program;
    } else if (loadCommand == kCmdLoadData) {
        latchKind = Latch::Data;
    } else {
        latchKind = Latch::Program;
        family->LoadedProgram(*this, value);
    }
}

// The chip takes the data line on the falling clock edge.
void SimCore::FallingEdge() {
    const std::uint32_t bit = dtr ? 0 : 1; // DTR set drives data to 0
    switch (phase) {
    case Phase::Command:
        shift |= bit << bits;
        if (++bits == 6) {
            const int command = static_cast<int>(shift);
            bits = 0;
            shift = 0;
            Execute(command);
        }
        break;
    case Phase::DataIn:
        shift |= bit << bits;
        if (++bits == 16) {
            const auto value = static_cast<std::uint16_t>((shift >> 1) & 0x3FFF);
            bits = 0;
            shift = 0;
            phase = Phase::Command;
            Load(value);
        }
        break;
    case Phase::ReadOut:
        if (++readCycle == 16)
            phase = Phase::Command; // keeps driving the stop bit until the next rising edge
        break;
    }
}

// On the rising edge the chip puts the bit of this read cycle out, or lets go.
void SimCore::RisingEdge() {
    if (phase == Phase::ReadOut) {
        driving = true;
        outBit = (readCycle >= 1 && readCycle <= 14) ? (readWord >> (readCycle - 1)) & 1 : 0;
    } else {
        driving = false;
    }
}

void SimCore::EnterProgramming() {
    ResetFrame();
    programming = rts && dtr && !LockedOut();
    counter = 0;
    latchKind = Latch::None;
    armed.reset();
    family->Entered(*this);
}

} // namespace vandrel::simulator
