#include "simulator/sim_programmer.h"

#include <algorithm>

#include "simulator/sim_chip_core.h"

namespace vandrel::simulator {

using serial::win::CLRDTR;
using serial::win::CLRRTS;
using serial::win::MS_CTS_ON;
using serial::win::SETDTR;
using serial::win::SETRTS;

SimChip::SimChip(const device::TPicDevice& device, Clock& clock)
    : core_(std::make_unique<SimCore>(device, clock)) {}

SimChip::~SimChip() = default;

void SimChip::OnEscape(std::uint32_t function) {
    SimCore& s = *core_;
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
    SimCore& s = *core_;
    std::lock_guard lock(s.mutex);
    ++s.lineChanges;
    if (on == s.brk)
        return;
    s.brk = on;
    if (on) { // MCLR low: the chip is held in reset
        s.Interrupt(-1);
        s.armed.reset();
        s.programming = false;
        s.ResetFrame();
        return;
    }
    // MCLR rises to the programming voltage: programming mode only while
    // clock and data are held low (RTS and DTR set).
    s.EnterProgramming();
}

std::uint32_t SimChip::ModemStatus() {
    SimCore& s = *core_;
    std::lock_guard lock(s.mutex);
    if (s.absent)
        return s.absentCtsOn ? MS_CTS_ON : 0;
    if (s.programming && s.driving)
        return s.outBit ? 0 : MS_CTS_ON;
    // Nobody drives the data pin: CTS follows the PC's own data line.
    return s.dtr ? MS_CTS_ON : 0;
}

std::int32_t SimChip::ReadWord(std::int32_t address) const {
    SimCore& s = *core_;
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
    SimCore& s = *core_;
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
    SimCore& s = *core_;
    std::lock_guard lock(s.mutex);
    s.SettleIfDue();
    s.FactoryFresh();
}

void SimChip::SetNoChip(bool absent, bool ctsOn) {
    std::lock_guard lock(core_->mutex);
    core_->absent = absent;
    core_->absentCtsOn = ctsOn;
}

void SimChip::SetStuckBit(int bit, bool value) {
    if (bit < 0 || bit > 13)
        return;
    std::lock_guard lock(core_->mutex);
    const auto mask = static_cast<std::uint16_t>(1u << bit);
    core_->stuckMask |= mask;
    core_->stuckValue = static_cast<std::uint16_t>(value ? (core_->stuckValue | mask) : (core_->stuckValue & ~mask));
}

void SimChip::ClearStuckBits() {
    std::lock_guard lock(core_->mutex);
    core_->stuckMask = 0;
    core_->stuckValue = 0;
}

void SimChip::SetWriteProtected(std::int32_t address, bool protect) {
    std::lock_guard lock(core_->mutex);
    if (protect)
        core_->protectedWords.insert(address);
    else
        core_->protectedWords.erase(address);
}

std::vector<TimingViolation> SimChip::Violations() const {
    std::lock_guard lock(core_->mutex);
    return core_->violations;
}

std::int32_t SimChip::AddressCounter() const {
    std::lock_guard lock(core_->mutex);
    return core_->counter;
}

bool SimChip::InProgrammingMode() const {
    std::lock_guard lock(core_->mutex);
    return core_->programming;
}

std::uint64_t SimChip::LineChanges() const {
    std::lock_guard lock(core_->mutex);
    return core_->lineChanges;
}

std::uint64_t SimChip::CommandsSeen() const {
    std::lock_guard lock(core_->mutex);
    return core_->commands;
}

const device::TPicDevice& SimChip::Device() const {
    return core_->device; // never changes after construction
}

std::string SimChip::FamilyName() const {
    return core_->family->Name(); // never changes after construction
}

std::int64_t SimChip::RequiredMs() const {
    std::lock_guard lock(core_->mutex);
    return core_->requiredUs / 1000;
}

std::int64_t SimChip::RequiredUs() const {
    std::lock_guard lock(core_->mutex);
    return core_->requiredUs;
}

std::uint64_t SimChip::CyclesBegun() const {
    std::lock_guard lock(core_->mutex);
    return core_->cycles;
}

void SimChip::SetFactoryCalibration(std::uint16_t osccal, std::uint16_t bandgap) {
    SimCore& s = *core_;
    std::lock_guard lock(s.mutex);
    s.SettleIfDue();
    s.family->SetFactoryCalibration(s, osccal, bandgap);
}

void SimChip::PowerUp() {
    std::lock_guard lock(core_->mutex);
    core_->SettleIfDue();
    core_->PowerUp();
}

bool SimChip::CalibrationLost() const {
    SimCore& s = *core_;
    std::lock_guard lock(s.mutex);
    s.SettleIfDue();
    return s.family->CalibrationLost(s);
}

} // namespace vandrel::simulator
