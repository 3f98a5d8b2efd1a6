// The simulated port as tests see it: the call record, the failures it is
// told to inject, and the state they inspect.
#include "serial/sim_port_driver.h"

#include <algorithm>
#include <stdexcept>

namespace vandrel::serial {

namespace {
constexpr std::array<std::string_view, SimPort::kOpCount> kOpNames = {
    "CreateFileA",     "SetupComm",          "PurgeComm",       "GetCommState",  "SetCommState",
    "GetCommTimeouts", "SetCommTimeouts",    "SetCommMask",     "WaitCommEvent", "ClearCommError",
    "ReadFile",        "WriteFile",          "EscapeCommFunction", "GetCommModemStatus",
    "SetCommBreak",    "ClearCommBreak",     "CloseHandle",
};
} // namespace

// ---------------------------------------------------------------- SimPort

std::string_view SimPort::OpName(Op op) { return kOpNames.at(op); }

SimPort::Op SimPort::OpFromName(const std::string& name) {
    for (std::size_t i = 0; i < kOpNames.size(); ++i)
        if (kOpNames[i] == name)
            return static_cast<Op>(i);
    throw std::invalid_argument("SimPort: no driver call named " + name);
}

bool SimPort::RecordLocked(Op op, std::uint32_t arg) {
    if (recording_)
        calls_.push_back(Entry{op, arg});
    if (failAlways_[op])
        return false;
    int& nth = failNth_[op];
    if (nth > 0 && --nth == 0)
        return false;
    return true;
}

void SimPort::SetPeer(std::shared_ptr<LinePeer> peer) {
    std::lock_guard peerLock(peerMutex_);
    std::lock_guard lock(mutex_);
    peer_ = std::move(peer);
}

void SimPort::SetExists(bool exists) {
    std::lock_guard lock(mutex_);
    exists_ = exists;
}

void SimPort::FailCall(const std::string& name, int nth) {
    const Op op = OpFromName(name);
    std::lock_guard lock(mutex_);
    failNth_[op] = std::max(nth, 0);
}

void SimPort::FailAlways(const std::string& name, bool fail) {
    const Op op = OpFromName(name);
    std::lock_guard lock(mutex_);
    failAlways_[op] = fail;
}

void SimPort::SetWriteBlocks(bool blocks) {
    std::lock_guard lock(mutex_);
    writeBlocks_ = blocks;
}

void SimPort::ReleaseWrites() {
    std::lock_guard lock(mutex_);
    ++releaseGeneration_;
    changed_.notify_all();
}

void SimPort::SetRecording(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
}

void SimPort::SetClock(Clock& clock) {
    std::lock_guard lock(mutex_);
    clock_ = &clock;
}

void SimPort::InjectReceived(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    if (bytes.empty())
        return;
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    pendingEvents_ |= win::EV_RXCHAR;
    changed_.notify_all();
}

void SimPort::InjectBreak() {
    std::lock_guard lock(mutex_);
    pendingEvents_ |= win::EV_BREAK;
    changed_.notify_all();
}

void SimPort::InjectLineErrors(std::uint32_t ceFlags) {
    std::lock_guard lock(mutex_);
    errors_ |= ceFlags;
    pendingEvents_ |= win::EV_ERR;
    changed_.notify_all();
}

std::vector<SimCall> SimPort::Calls() const {
    std::lock_guard lock(mutex_);
    std::vector<SimCall> out;
    out.reserve(calls_.size());
    for (const Entry& e : calls_)
        out.push_back(SimCall{std::string(kOpNames[e.op]), e.arg});
    return out;
}

std::vector<SimCall> SimPort::CallsNamed(const std::string& name) const {
    const Op op = OpFromName(name);
    std::lock_guard lock(mutex_);
    std::vector<SimCall> out;
    for (const Entry& e : calls_)
        if (e.op == op)
            out.push_back(SimCall{name, e.arg});
    return out;
}

void SimPort::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::vector<std::uint8_t> SimPort::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

bool SimPort::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

std::string SimPort::DeviceName() const {
    std::lock_guard lock(mutex_);
    return deviceName_;
}

int SimPort::OpenCount() const {
    std::lock_guard lock(mutex_);
    return openCount_;
}

bool SimPort::WritePending() const {
    std::lock_guard lock(mutex_);
    return writesPending_ > 0;
}

PortState SimPort::State() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::vector<PortState> SimPort::StateHistory() const {
    std::lock_guard lock(mutex_);
    return stateHistory_;
}

CommTimeouts SimPort::Timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

std::int32_t SimPort::InQueueSize() const {
    std::lock_guard lock(mutex_);
    return inQueue_;
}

std::int32_t SimPort::OutQueueSize() const {
    std::lock_guard lock(mutex_);
    return outQueue_;
}

bool SimPort::Rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}

bool SimPort::Dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
}

bool SimPort::Break() const {
    std::lock_guard lock(mutex_);
    return break_;
}

void SimPort::SetLineLocked(bool& line, bool on, std::uint32_t setCode, std::uint32_t clrCode,
                            std::vector<std::uint32_t>& toPeer) {
    if (line == on)
        return;
    line = on;
    toPeer.push_back(on ? setCode : clrCode);
}

} // namespace vandrel::serial
