#include "simulator/sim_programmer.h"

#include "common/convert.h"
#include "programmer/farm_link.h"

#include <algorithm>
#include <set>

namespace vandrel::simulator {

namespace {

using serial::win::CLRDTR;
using serial::win::CLRRTS;
using serial::win::MS_CTS_ON;
using serial::win::SETDTR;
using serial::win::SETRTS;

constexpr std::int32_t kConfigBase = 0x2000;
constexpr std::int32_t kDataBase = 0x2100;
constexpr std::uint16_t kErasedWord = 0x3FFF;
constexpr std::uint8_t kErasedCell = 0xFF;

// The chip decodes the same command set the link sends.
constexpr int kCmdLoadConfiguration = programmer::kLoadConfiguration;
constexpr int kCmdLoadProgram = programmer::kLoadDataForProgramMemory;
constexpr int kCmdLoadData = programmer::kLoadDataForDataMemory;
constexpr int kCmdReadProgram = programmer::kReadDataFromProgramMemory;
constexpr int kCmdReadData = programmer::kReadDataFromDataMemory;
constexpr int kCmdIncrement = programmer::kIncrementAddress;
constexpr int kCmdBeginProgramming = programmer::kBeginEraseProgrammingCycle;
constexpr int kCmdBulkEraseProgram = programmer::kBulkEraseProgramMemory;
constexpr int kCmdBulkEraseData = programmer::kBulkEraseDataMemory;

std::int32_t RangeEnd(device::TMemoryRange range) {
    return range.Size > 0 ? std::int32_t{range.Address} + range.Size : 0;
}

} // namespace

struct SimChip::State {
    enum class Phase { Command, DataIn, ReadOut };
    enum class Latch { None, Program, Data };
    enum class CycleKind { WriteProgram, WriteData, EraseProgram, EraseData };

    struct Cycle {
        bool active = false;
        CycleKind kind = CycleKind::WriteProgram;
        std::int32_t address = 0; // counter at the start of the cycle
        std::uint16_t value = 0;
        bool withConfig = false;  // program erase that takes the configuration area along
        std::int64_t startMs = 0;
        std::int64_t dueMs = 0;
    };

    State(const device::TPicDevice& d, Clock& c) : device(d), clock(c) {}

    mutable std::mutex mutex;
    device::TPicDevice device;
    Clock& clock;

    std::vector<std::uint16_t> program;
    std::vector<std::uint16_t> config;
    std::vector<std::uint8_t> data;
    std::int32_t deviceIdIndex = -1; // in `config`; read-only for the chip
    std::set<std::int32_t> protectedWords;

    // Lines as the PC left them (port side, before the adapter's inversion).
    bool rts = false, dtr = false, brk = false;

    bool programming = false;
    std::int32_t counter = 0;
    std::uint16_t latch = kErasedWord;
    Latch latchKind = Latch::None;

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

    // ---- memories ----------------------------------------------------------

    bool IsProtected(std::int32_t address) const {
        return !protectedWords.empty() && protectedWords.count(address) != 0;
    }

    // The word the read command answers at the counter.
    std::uint16_t ProgramSideWord(std::int32_t address) const {
        if (address < kConfigBase)
            return program.empty() ? 0 : program[static_cast<std::size_t>(address) % program.size()];
        const std::int32_t offset = address - kConfigBase;
        return offset < static_cast<std::int32_t>(config.size()) ? config[static_cast<std::size_t>(offset)] : 0;
    }

    // Data cells are addressed by the low bits of the counter, whatever area it is in.
    std::int32_t DataIndex(std::int32_t address) const {
        return data.empty() ? -1 : static_cast<std::int32_t>(static_cast<std::size_t>(address) % data.size());
    }

    void ProgramWord(std::int32_t address, std::uint16_t value) {
        value &= 0x3FFF;
        if (address < kConfigBase) {
            if (program.empty())
                return;
            const auto index = static_cast<std::int32_t>(static_cast<std::size_t>(address) % program.size());
            if (!IsProtected(index))
                program[static_cast<std::size_t>(index)] = value;
            return;
        }
        const std::int32_t offset = address - kConfigBase;
        if (offset < static_cast<std::int32_t>(config.size()) && offset != deviceIdIndex &&
            !IsProtected(address))
            config[static_cast<std::size_t>(offset)] = value;
    }

    void ProgramCell(std::int32_t address, std::uint16_t value) {
        const std::int32_t index = DataIndex(address);
        if (index >= 0 && !IsProtected(kDataBase + index))
            data[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value & 0xFF);
    }

    void EraseProgram(bool withConfig) {
        for (std::size_t i = 0; i < program.size(); ++i)
            if (!IsProtected(static_cast<std::int32_t>(i)))
                program[i] = kErasedWord;
        if (withConfig)
            for (std::size_t i = 0; i < config.size(); ++i)
                if (static_cast<std::int32_t>(i) != deviceIdIndex &&
                    !IsProtected(kConfigBase + static_cast<std::int32_t>(i)))
                    config[i] = kErasedWord;
    }

    void EraseData() {
        for (std::size_t i = 0; i < data.size(); ++i)
            if (!IsProtected(kDataBase + static_cast<std::int32_t>(i)))
                data[i] = kErasedCell;
    }

    // ---- programming cycles ------------------------------------------------

    std::int64_t Duration(CycleKind kind) const {
        switch (kind) {
        case CycleKind::WriteProgram: return device.Tprog;
        case CycleKind::WriteData: return device.Tdprog;
        default: return device.Tera;
        }
    }

    void Complete(const Cycle& c) {
        switch (c.kind) {
        case CycleKind::WriteProgram: ProgramWord(c.address, c.value); break;
        case CycleKind::WriteData: ProgramCell(c.address, c.value); break;
        case CycleKind::EraseProgram: EraseProgram(c.withConfig); break;
        case CycleKind::EraseData: EraseData(); break;
        }
    }

    // A cycle cut short: a word being written is left erased (its erase half
    // ran, its write half did not); an erase leaves the memory as it was.
    void Spoil(const Cycle& c) {
        if (c.kind == CycleKind::WriteProgram)
            ProgramWord(c.address, kErasedWord);
        else if (c.kind == CycleKind::WriteData)
            ProgramCell(c.address, kErasedCell);
    }

    void Start(CycleKind kind, std::int32_t address, std::uint16_t value, bool withConfig) {
        Cycle c;
        c.kind = kind;
        c.address = address;
        c.value = value;
        c.withConfig = withConfig;
        const std::int64_t duration = Duration(kind);
        if (duration <= 0) { // no timing requirement
            Complete(c);
            return;
        }
        c.active = true;
        c.startMs = clock.NowMs();
        c.dueMs = c.startMs + duration;
        cycle = c;
    }

    // Completes a cycle whose time is up; leaves a running one alone.
    void SettleIfDue() {
        if (cycle.active && clock.NowMs() >= cycle.dueMs) {
            cycle.active = false;
            Complete(cycle);
        }
    }

    // Something happens to the chip (a command, or a reset when command < 0):
    // a running cycle is complete if its time is up, otherwise it is cut
    // short and the event recorded.
    void Interrupt(int command) {
        if (!cycle.active)
            return;
        cycle.active = false;
        const std::int64_t now = clock.NowMs();
        if (now >= cycle.dueMs) {
            Complete(cycle);
            return;
        }
        const char* name = cycle.kind == CycleKind::WriteProgram ? "programming cycle at "
                           : cycle.kind == CycleKind::WriteData  ? "data programming cycle at "
                           : cycle.kind == CycleKind::EraseProgram ? "bulk erase of program memory"
                                                                   : "bulk erase of data memory";
        std::string text = (command < 0 ? std::string("reset") : "command " + Hex4(command).substr(2)) + " " + std::to_string(now - cycle.startMs) + " ms into the " +
                           std::to_string(cycle.dueMs - cycle.startMs) + " ms " + name;
        if (cycle.kind == CycleKind::WriteProgram || cycle.kind == CycleKind::WriteData)
            text += Hex4(cycle.address);
        violations.push_back({now, std::move(text)});
        Spoil(cycle);
    }

    // ---- protocol ----------------------------------------------------------

    void ResetFrame() {
        phase = Phase::Command;
        bits = 0;
        shift = 0;
        driving = false;
    }

    void Execute(int command) {
        ++commands;
        Interrupt(command);
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
                word = index >= 0 ? data[static_cast<std::size_t>(index)] : 0;
            }
            readWord = static_cast<std::uint16_t>(((word & ~stuckMask) | stuckValue) & 0x3FFF);
            readCycle = 0;
            phase = Phase::ReadOut;
            break;
        }
        case kCmdIncrement:
            counter = (counter + 1) & 0x3FFF;
            break;
        case kCmdBeginProgramming:
            if (latchKind == Latch::Program)
                Start(CycleKind::WriteProgram, counter, latch, false);
            else if (latchKind == Latch::Data)
                Start(CycleKind::WriteData, counter, latch, false);
            break;
        case kCmdBulkEraseProgram:
            Start(CycleKind::EraseProgram, counter, 0, counter >= kConfigBase);
            break;
        case kCmdBulkEraseData:
            Start(CycleKind::EraseData, counter, 0, false);
            break;
        default: // not a command of this chip
            break;
        }
    }

    void Load(std::uint16_t value) {
        latch = value;
        if (loadCommand == kCmdLoadConfiguration) {
            counter = kConfigBase;
            latchKind = Latch::Program;
        } else {
            latchKind = loadCommand == kCmdLoadData ? Latch::Data : Latch::Program;
        }
    }

    // The chip takes the data line on the falling clock edge.
    void FallingEdge() {
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
    void RisingEdge() {
        if (phase == Phase::ReadOut) {
            driving = true;
            outBit = (readCycle >= 1 && readCycle <= 14) ? (readWord >> (readCycle - 1)) & 1 : 0;
        } else {
            driving = false;
        }
    }
};

SimChip::SimChip(const device::TPicDevice& device, Clock& clock)
    : state_(std::make_unique<State>(device, clock)) {
    State& s = *state_;
    const std::int32_t programSize = std::clamp(RangeEnd(device.ProgramMemory), 0, kConfigBase);
    s.program.assign(static_cast<std::size_t>(programSize), kErasedWord);

    std::int32_t configEnd = kConfigBase + 8;
    for (const auto& range : {device.ConfigurationMemory, device.UserID, device.DeviceID, device.ConfigurationWord})
        if (range.Address >= kConfigBase)
            configEnd = std::max(configEnd, RangeEnd(range));
    if (device.DeviceID.Address >= kConfigBase)
        configEnd = std::max(configEnd, device.DeviceID.Address + 1);
    configEnd = std::min(configEnd, kDataBase);
    s.config.assign(static_cast<std::size_t>(configEnd - kConfigBase), kErasedWord);
    if (device.DeviceID.Address >= kConfigBase && device.DeviceID.Address < configEnd) {
        s.deviceIdIndex = device.DeviceID.Address - kConfigBase;
        s.config[static_cast<std::size_t>(s.deviceIdIndex)] = static_cast<std::uint16_t>(device.DeviceIDValue & 0x3FFF);
    }

    const std::int32_t dataSize = std::clamp<std::int32_t>(device.DataMemory.Size, 0, 0x4000 - kDataBase);
    s.data.assign(static_cast<std::size_t>(dataSize), kErasedCell);
}

SimChip::~SimChip() = default;

void SimChip::OnEscape(std::uint32_t function) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    ++s.lineChanges;
    switch (function) {
    case SETRTS: // clock low
        if (!s.rts) {
            s.rts = true;
            if (s.programming)
                s.FallingEdge();
        }
        break;
    case CLRRTS: // clock high
        if (s.rts) {
            s.rts = false;
            if (s.programming)
                s.RisingEdge();
        }
        break;
    case SETDTR: s.dtr = true; break;
    case CLRDTR: s.dtr = false; break;
    default: break;
    }
}

void SimChip::OnBreak(bool on) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    ++s.lineChanges;
    if (on == s.brk)
        return;
    s.brk = on;
    if (on) { // MCLR low: the chip is held in reset
        s.Interrupt(-1);
        s.programming = false;
        s.ResetFrame();
        return;
    }
    // MCLR rises to the programming voltage: programming mode only while
    // clock and data are held low (RTS and DTR set).
    s.ResetFrame();
    s.programming = s.rts && s.dtr;
    s.counter = 0;
    s.latchKind = State::Latch::None;
}

std::uint32_t SimChip::ModemStatus() {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.absent)
        return s.absentCtsOn ? MS_CTS_ON : 0;
    if (s.programming && s.driving)
        return s.outBit ? 0 : MS_CTS_ON;
    // Nobody drives the data pin: CTS follows the PC's own data line.
    return s.dtr ? MS_CTS_ON : 0;
}

std::int32_t SimChip::ReadWord(std::int32_t address) const {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.SettleIfDue();
    if (address >= 0 && address < static_cast<std::int32_t>(s.program.size()))
        return s.program[static_cast<std::size_t>(address)];
    if (address >= kConfigBase && address < kConfigBase + static_cast<std::int32_t>(s.config.size()))
        return s.config[static_cast<std::size_t>(address - kConfigBase)];
    if (address >= kDataBase && address < kDataBase + static_cast<std::int32_t>(s.data.size()))
        return s.data[static_cast<std::size_t>(address - kDataBase)];
    return -1;
}

void SimChip::WriteWord(std::int32_t address, std::uint16_t value) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.SettleIfDue();
    if (address >= 0 && address < static_cast<std::int32_t>(s.program.size()))
        s.program[static_cast<std::size_t>(address)] = value & 0x3FFF;
    else if (address >= kConfigBase && address < kConfigBase + static_cast<std::int32_t>(s.config.size()))
        s.config[static_cast<std::size_t>(address - kConfigBase)] = value & 0x3FFF;
    else if (address >= kDataBase && address < kDataBase + static_cast<std::int32_t>(s.data.size()))
        s.data[static_cast<std::size_t>(address - kDataBase)] = static_cast<std::uint8_t>(value & 0xFF);
}

void SimChip::EraseAll() {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.SettleIfDue();
    std::fill(s.program.begin(), s.program.end(), kErasedWord);
    for (std::size_t i = 0; i < s.config.size(); ++i)
        if (static_cast<std::int32_t>(i) != s.deviceIdIndex)
            s.config[i] = kErasedWord;
    std::fill(s.data.begin(), s.data.end(), kErasedCell);
}

void SimChip::SetNoChip(bool absent, bool ctsOn) {
    std::lock_guard lock(state_->mutex);
    state_->absent = absent;
    state_->absentCtsOn = ctsOn;
}

void SimChip::SetStuckBit(int bit, bool value) {
    if (bit < 0 || bit > 13)
        return;
    std::lock_guard lock(state_->mutex);
    const auto mask = static_cast<std::uint16_t>(1u << bit);
    state_->stuckMask |= mask;
    state_->stuckValue = static_cast<std::uint16_t>(value ? (state_->stuckValue | mask) : (state_->stuckValue & ~mask));
}

void SimChip::ClearStuckBits() {
    std::lock_guard lock(state_->mutex);
    state_->stuckMask = 0;
    state_->stuckValue = 0;
}

void SimChip::SetWriteProtected(std::int32_t address, bool protect) {
    std::lock_guard lock(state_->mutex);
    if (protect)
        state_->protectedWords.insert(address);
    else
        state_->protectedWords.erase(address);
}

std::vector<TimingViolation> SimChip::Violations() const {
    std::lock_guard lock(state_->mutex);
    return state_->violations;
}

std::int32_t SimChip::AddressCounter() const {
    std::lock_guard lock(state_->mutex);
    return state_->counter;
}

bool SimChip::InProgrammingMode() const {
    std::lock_guard lock(state_->mutex);
    return state_->programming;
}

std::uint64_t SimChip::LineChanges() const {
    std::lock_guard lock(state_->mutex);
    return state_->lineChanges;
}

std::uint64_t SimChip::CommandsSeen() const {
    std::lock_guard lock(state_->mutex);
    return state_->commands;
}

const device::TPicDevice& SimChip::Device() const {
    return state_->device; // never changes after construction
}

} // namespace vandrel::simulator
