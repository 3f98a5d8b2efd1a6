// The simulated port seen through the driver interface: the calls a port
// worker makes, answered from the port's state.
#include "serial/sim_port_driver.h"

#include <algorithm>
#include <stdexcept>

namespace vandrel::serial {

namespace {
constexpr std::uint32_t kFirstHandle = 0x5100;
} // namespace


SimPortDriver::SimPortDriver(std::shared_ptr<SimPort> port) : port_(std::move(port)) {}

SimPortDriver::~SimPortDriver() {
    if (opened_)
        CloseHandle();
}

bool SimPortDriver::MineLocked() const {
    return opened_ && port_->open_ && port_->generation_ == generation_;
}

void SimPortDriver::Notify(const std::vector<std::uint32_t>& escapes, int breakChange, bool data,
                           const std::vector<std::uint8_t>& bytes) {
    // Called with peerMutex_ held, the port's mutex released.
    LinePeer* peer = port_->peer_.get();
    if (!peer)
        return;
    for (std::uint32_t f : escapes)
        peer->OnEscape(f);
    if (breakChange >= 0)
        peer->OnBreak(breakChange != 0);
    if (data && !bytes.empty())
        peer->OnData(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

bool SimPortDriver::Open(const std::string& deviceName, std::string& osError) {
    std::lock_guard lock(port_->mutex_);
    if (!port_->RecordLocked(SimPort::kCreateFile, 0)) {
        osError = "Input/output error";
        return false;
    }
    if (!port_->exists_) {
        osError = "No such file or directory";
        return false;
    }
    if (port_->open_ || opened_) {
        osError = "Device or resource busy";
        return false;
    }
    port_->open_ = true;
    ++port_->generation_;
    ++port_->openCount_;
    port_->deviceName_ = deviceName;
    port_->pendingEvents_ = 0;
    port_->errors_ = 0;
    port_->mask_ = 0;
    port_->wakeConsumed_ = port_->wakeCount_;
    port_->writesPending_ = 0;
    generation_ = port_->generation_;
    handle_ = kFirstHandle + static_cast<std::uint32_t>(port_->openCount_);
    opened_ = true;
    return true;
}

void SimPortDriver::CloseHandle() {
    std::lock_guard lock(port_->mutex_);
    port_->RecordLocked(SimPort::kCloseHandle, 0);
    if (!MineLocked()) {
        opened_ = false;
        return;
    }
    opened_ = false;
    port_->open_ = false;
    ++port_->generation_;
    if (writePending_) {
        writePending_ = false;
        --port_->writesPending_;
    }
    readPending_ = false;
    port_->changed_.notify_all();
}

std::uint32_t SimPortDriver::NativeHandle() const { return opened_ ? handle_ : 0xFFFFFFFFu; }

bool SimPortDriver::SetupComm(std::int32_t inQueue, std::int32_t outQueue) {
    std::lock_guard lock(port_->mutex_);
    if (!port_->RecordLocked(SimPort::kSetupComm, static_cast<std::uint32_t>(inQueue)) ||
        !MineLocked())
        return false;
    port_->inQueue_ = inQueue;
    port_->outQueue_ = outQueue;
    return true;
}

bool SimPortDriver::PurgeComm(std::uint32_t flags) {
    std::lock_guard lock(port_->mutex_);
    if (!port_->RecordLocked(SimPort::kPurgeComm, flags) || !MineLocked())
        return false;
    if (flags & win::PURGE_TXABORT)
        ++port_->txAbortGeneration_;
    if (flags & win::PURGE_RXABORT)
        ++port_->rxAbortGeneration_;
    if (flags & win::PURGE_RXCLEAR) {
        port_->input_.clear();
        port_->pendingEvents_ &= ~win::EV_RXCHAR;
    }
    port_->changed_.notify_all();
    return true;
}

bool SimPortDriver::GetCommState(PortState& state) {
    std::lock_guard lock(port_->mutex_);
    if (!port_->RecordLocked(SimPort::kGetCommState, 0) || !MineLocked())
        return false;
    state = port_->state_;
    return true;
}

bool SimPortDriver::SetCommState(const PortState& state) {
    std::vector<std::uint32_t> escapes;
    {
        std::lock_guard peerLock(port_->peerMutex_);
        {
            std::lock_guard lock(port_->mutex_);
            if (!port_->RecordLocked(SimPort::kSetCommState, state.Flags) || !MineLocked())
                return false;
            if (state.ByteSize < 5 || state.ByteSize > 8 || state.BaudRate == 0 ||
                state.Parity > 4 || state.StopBits > 2)
                return false;
            port_->state_ = state;
            port_->stateHistory_.push_back(state);
            const std::uint32_t dtrControl = state.Flags & 0x0030;
            if (dtrControl == 0)
                port_->SetLineLocked(port_->dtr_, false, win::SETDTR, win::CLRDTR, escapes);
            else if (dtrControl == win::DTR_CONTROL_ENABLE)
                port_->SetLineLocked(port_->dtr_, true, win::SETDTR, win::CLRDTR, escapes);
            const std::uint32_t rtsControl = state.Flags & 0x3000;
            if (rtsControl == 0)
                port_->SetLineLocked(port_->rts_, false, win::SETRTS, win::CLRRTS, escapes);
            else if (rtsControl == win::RTS_CONTROL_ENABLE)
                port_->SetLineLocked(port_->rts_, true, win::SETRTS, win::CLRRTS, escapes);
        }
        Notify(escapes, -1, false, {});
    }
    return true;
}

bool SimPortDriver::GetCommTimeouts(CommTimeouts& timeouts) {
    std::lock_guard lock(port_->mutex_);
    if (!port_->RecordLocked(SimPort::kGetCommTimeouts, 0) || !MineLocked())
        return false;
    timeouts = port_->timeouts_;
    return true;
}

bool SimPortDriver::SetCommTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(port_->mutex_);
    if (!port_->RecordLocked(SimPort::kSetCommTimeouts, timeouts.WriteTotalTimeoutConstant) ||
        !MineLocked())
        return false;
    port_->timeouts_ = timeouts;
    return true;
}

bool SimPortDriver::SetCommMask(std::uint32_t mask) {
    std::lock_guard lock(port_->mutex_);
    if (!port_->RecordLocked(SimPort::kSetCommMask, mask) || !MineLocked())
        return false;
    port_->mask_ = mask;
    ++port_->maskGeneration_;
    port_->changed_.notify_all();
    return true;
}

bool SimPortDriver::WaitCommEvent(std::uint32_t& mask) {
    std::unique_lock lock(port_->mutex_);
    mask = 0;
    if (!port_->RecordLocked(SimPort::kWaitCommEvent, port_->mask_) || !MineLocked())
        return false;
    const std::uint64_t maskGeneration = port_->maskGeneration_;
    SimPort& p = *port_;
    p.changed_.wait(lock, [&] {
        return !MineLocked() || p.maskGeneration_ != maskGeneration ||
               p.wakeCount_ != p.wakeConsumed_ || (p.pendingEvents_ & p.mask_) != 0;
    });
    if (p.wakeCount_ != p.wakeConsumed_) {
        p.wakeConsumed_ = p.wakeCount_;
        return true;
    }
    if (MineLocked() && p.maskGeneration_ == maskGeneration) {
        mask = p.pendingEvents_ & p.mask_;
        p.pendingEvents_ &= ~mask;
    }
    return true;
}

void SimPortDriver::WakeCommEventWaiter() {
    std::lock_guard lock(port_->mutex_);
    ++port_->wakeCount_;
    port_->changed_.notify_all();
}

bool SimPortDriver::ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue) {
    std::lock_guard lock(port_->mutex_);
    errors = 0;
    inQueue = 0;
    if (!port_->RecordLocked(SimPort::kClearCommError, 0) || !MineLocked())
        return false;
    errors = port_->errors_;
    port_->errors_ = 0;
    inQueue = static_cast<std::uint32_t>(port_->input_.size());
    return true;
}

std::uint32_t SimPortDriver::TakeInputLocked(std::uint8_t* buffer, std::uint32_t count) {
    auto& in = port_->input_;
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(count, in.size()));
    std::copy_n(in.begin(), n, buffer);
    in.erase(in.begin(), in.begin() + n);
    if (in.empty())
        port_->pendingEvents_ &= ~win::EV_RXCHAR;
    return n;
}

IoResult SimPortDriver::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read) {
    std::lock_guard lock(port_->mutex_);
    read = 0;
    if (!port_->RecordLocked(SimPort::kReadFile, count) || !MineLocked() || readPending_)
        return IoResult::Failed;
    if (count == 0)
        return IoResult::Done;
    if (!port_->input_.empty()) {
        read = TakeInputLocked(buffer, count);
        return IoResult::Done;
    }
    const std::uint32_t timeout = port_->timeouts_.ReadTotalTimeoutConstant;
    if (timeout == 0)
        return IoResult::Done;
    readPending_ = true;
    readBuffer_ = buffer;
    readCount_ = count;
    readDeadline_ = port_->clock_->NowMs() + timeout;
    readAbortGeneration_ = port_->rxAbortGeneration_;
    return IoResult::Pending;
}

IoResult SimPortDriver::ReadResult(std::uint32_t& read) {
    std::lock_guard lock(port_->mutex_);
    read = 0;
    if (!readPending_)
        return IoResult::Failed;
    if (!MineLocked() || port_->rxAbortGeneration_ != readAbortGeneration_) {
        readPending_ = false;
        return IoResult::Failed;
    }
    if (!port_->input_.empty()) {
        read = TakeInputLocked(readBuffer_, readCount_);
        readPending_ = false;
        return IoResult::Done;
    }
    if (port_->clock_->NowMs() >= readDeadline_) {
        readPending_ = false;
        return IoResult::Done;
    }
    return IoResult::Incomplete;
}

IoResult SimPortDriver::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) {
    written = 0;
    std::vector<std::uint8_t> bytes;
    {
        std::lock_guard peerLock(port_->peerMutex_);
        {
            std::lock_guard lock(port_->mutex_);
            if (!port_->RecordLocked(SimPort::kWriteFile, count) || !MineLocked() || writePending_)
                return IoResult::Failed;
            if (port_->writeBlocks_) {
                pendingWrite_.assign(data, data + count);
                writePending_ = true;
                ++port_->writesPending_;
                writeAbortGeneration_ = port_->txAbortGeneration_;
                writeReleaseGeneration_ = port_->releaseGeneration_;
                return IoResult::Pending;
            }
            port_->written_.insert(port_->written_.end(), data, data + count);
            if (port_->peer_)
                bytes.assign(data, data + count);
        }
        Notify({}, -1, true, bytes);
    }
    written = count;
    return IoResult::Done;
}

bool SimPortDriver::WaitWrite(std::uint32_t& written) {
    written = 0;
    std::vector<std::uint8_t> bytes;
    {
        std::unique_lock lock(port_->mutex_);
        if (!writePending_)
            return false;
        SimPort& p = *port_;
        p.changed_.wait(lock, [&] {
            return !MineLocked() || p.txAbortGeneration_ != writeAbortGeneration_ ||
                   p.releaseGeneration_ != writeReleaseGeneration_;
        });
        writePending_ = false;
        --p.writesPending_;
        if (!MineLocked() || p.txAbortGeneration_ != writeAbortGeneration_) {
            pendingWrite_.clear();
            return false;
        }
        p.written_.insert(p.written_.end(), pendingWrite_.begin(), pendingWrite_.end());
        written = static_cast<std::uint32_t>(pendingWrite_.size());
        bytes = std::move(pendingWrite_);
        pendingWrite_.clear();
    }
    std::lock_guard peerLock(port_->peerMutex_);
    Notify({}, -1, true, bytes);
    return true;
}

bool SimPortDriver::EscapeCommFunction(std::uint32_t function) {
    std::lock_guard peerLock(port_->peerMutex_);
    {
        std::lock_guard lock(port_->mutex_);
        if (!port_->RecordLocked(SimPort::kEscapeCommFunction, function) || !MineLocked())
            return false;
        switch (function) {
        case win::SETRTS: port_->rts_ = true; break;
        case win::CLRRTS: port_->rts_ = false; break;
        case win::SETDTR: port_->dtr_ = true; break;
        case win::CLRDTR: port_->dtr_ = false; break;
        default: return false;
        }
    }
    if (LinePeer* peer = port_->peer_.get())
        peer->OnEscape(function);
    return true;
}

bool SimPortDriver::GetCommModemStatus(std::uint32_t& status) {
    status = 0;
    std::lock_guard peerLock(port_->peerMutex_);
    {
        std::lock_guard lock(port_->mutex_);
        if (!port_->RecordLocked(SimPort::kGetCommModemStatus, 0) || !MineLocked())
            return false;
    }
    if (LinePeer* peer = port_->peer_.get())
        status = peer->ModemStatus();
    return true;
}

bool SimPortDriver::SetCommBreak() {
    std::lock_guard peerLock(port_->peerMutex_);
    {
        std::lock_guard lock(port_->mutex_);
        if (!port_->RecordLocked(SimPort::kSetCommBreak, 0) || !MineLocked())
            return false;
        port_->break_ = true;
    }
    Notify({}, 1, false, {});
    return true;
}

bool SimPortDriver::ClearCommBreak() {
    std::lock_guard peerLock(port_->peerMutex_);
    {
        std::lock_guard lock(port_->mutex_);
        if (!port_->RecordLocked(SimPort::kClearCommBreak, 0) || !MineLocked())
            return false;
        port_->break_ = false;
    }
    Notify({}, 0, false, {});
    return true;
}

PortDriverFactory MakeSimPortFactory(std::shared_ptr<SimPort> port) {
    return [port](const std::string&) -> std::unique_ptr<PortDriver> {
        return std::make_unique<SimPortDriver>(port);
    };
}

} // namespace vandrel::serial
