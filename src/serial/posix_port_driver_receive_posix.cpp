// The receive side of the POSIX driver: the event wait, the receive buffer,
// reads and the queue count.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/serial.h>

#include <algorithm>
#include <cerrno>

#include "serial/posix_port_driver.h"

namespace vandrel::serial {

std::uint32_t PosixPortDriver::InputQueued() const {
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0 || queued < 0)
        return 0;
    return static_cast<std::uint32_t>(queued);
}

std::uint32_t PosixPortDriver::CollectLineEventsLocked() {
    if (!icountSupported_)
        return 0;
    serial_icounter_struct icount{};
    if (::ioctl(fd_, TIOCGICOUNT, &icount) != 0)
        return 0;
    const Counts now{icount.brk, icount.frame, icount.parity, icount.overrun + icount.buf_overrun};
    std::uint32_t events = 0;
    std::uint32_t errors = 0;
    if (now.brk != counts_.brk)
        events |= win::EV_BREAK;
    if (now.frame != counts_.frame)
        errors |= win::CE_FRAME;
    if (now.parity != counts_.parity)
        errors |= win::CE_RXPARITY;
    if (now.overrun != counts_.overrun)
        errors |= win::CE_OVERRUN;
    if (errors)
        events |= win::EV_ERR;
    errors_ |= errors;
    counts_ = now;
    return events;
}

bool PosixPortDriver::PullInputLocked(std::uint32_t& moved) {
    moved = 0;
    bool ok = true;
    std::uint8_t chunk[4096];
    while (!ReceiveBufferFullLocked()) {
        const std::size_t room = std::min(sizeof chunk, kReceiveBufferLimit - rxBuffer_.size());
        const ssize_t n = ::read(fd_, chunk, room);
        if (n > 0) {
            rxBuffer_.insert(rxBuffer_.end(), chunk, chunk + n);
            moved += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // 0 or EAGAIN: the kernel holds nothing more.
        ok = n == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
        break;
    }
    if (moved != 0)
        pendingEvents_ |= win::EV_RXCHAR;
    return ok;
}

bool PosixPortDriver::PullForCallerLocked() {
    const bool wasFull = ReceiveBufferFullLocked();
    std::uint32_t moved = 0;
    const bool ok = PullInputLocked(moved);
    // New input is announced by the event wait; a full buffer it stopped
    // watching the device for may have room again once the caller has read.
    if (moved != 0 || wasFull)
        Signal(rxFd_);
    return ok;
}

std::uint32_t PosixPortDriver::TakeInputLocked(std::uint8_t* buffer, std::uint32_t count) {
    const auto taken = static_cast<std::uint32_t>(std::min<std::size_t>(count, rxBuffer_.size()));
    std::copy_n(rxBuffer_.begin(), taken, buffer);
    rxBuffer_.erase(rxBuffer_.begin(), rxBuffer_.begin() + taken);
    return taken;
}

bool PosixPortDriver::WaitCommEvent(std::uint32_t& mask) {
    mask = 0;
    if (fd_ < 0)
        return false;
    for (;;) {
        bool full = false;
        {
            std::lock_guard lock(mutex_);
            pendingEvents_ |= CollectLineEventsLocked();
            std::uint32_t moved = 0;
            PullInputLocked(moved); // a device that failed shows in poll below
            mask = pendingEvents_ & mask_;
            pendingEvents_ &= ~mask;
            full = ReceiveBufferFullLocked();
        }
        if (mask != 0)
            return true;

        // The kernel's queue is empty now (or the buffer full): input there
        // wakes poll only when new input comes.
        pollfd fds[3] = {{fd_, static_cast<short>(full ? 0 : POLLIN), 0},
                         {wakeFd_, POLLIN, 0},
                         {rxFd_, POLLIN, 0}};
        const int n = ::poll(fds, 3, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (fds[1].revents & POLLIN) {
            Drain(wakeFd_);
            return true; // woken: empty mask
        }
        if (fds[2].revents & POLLIN)
            Drain(rxFd_);
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return false; // the device went away: no more events to wait for
    }
}

void PosixPortDriver::WakeCommEventWaiter() {
    if (wakeFd_ >= 0)
        Signal(wakeFd_);
}

bool PosixPortDriver::ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue) {
    errors = 0;
    inQueue = 0;
    if (fd_ < 0)
        return false;
    std::lock_guard lock(mutex_);
    pendingEvents_ |= CollectLineEventsLocked();
    PullForCallerLocked();
    errors = errors_;
    errors_ = 0;
    // With the buffer full the kernel holds the rest of what is waiting.
    const std::size_t waiting = rxBuffer_.size() + (ReceiveBufferFullLocked() ? InputQueued() : 0);
    inQueue = static_cast<std::uint32_t>(std::min<std::size_t>(waiting, UINT32_MAX));
    return true;
}

IoResult PosixPortDriver::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read) {
    read = 0;
    if (fd_ < 0 || readPending_)
        return IoResult::Failed;
    if (count == 0)
        return IoResult::Done;
    std::uint32_t timeout = 0;
    {
        std::lock_guard lock(mutex_);
        const bool ok = PullForCallerLocked();
        read = TakeInputLocked(buffer, count);
        if (read != 0)
            return IoResult::Done;
        if (!ok)
            return IoResult::Failed;
        timeout = timeouts_.ReadTotalTimeoutConstant;
    }
    if (timeout == 0)
        return IoResult::Done;
    readPending_ = true;
    readBuffer_ = buffer;
    readCount_ = count;
    readDeadline_ = SteadyClock::now() + std::chrono::milliseconds(timeout);
    readGeneration_ = rxAbortGeneration_.load();
    return IoResult::Pending;
}

IoResult PosixPortDriver::ReadResult(std::uint32_t& read) {
    read = 0;
    if (!readPending_ || fd_ < 0)
        return IoResult::Failed;
    if (rxAbortGeneration_.load() != readGeneration_) {
        readPending_ = false;
        return IoResult::Failed;
    }
    std::lock_guard lock(mutex_);
    const bool ok = PullForCallerLocked();
    read = TakeInputLocked(readBuffer_, readCount_);
    if (read != 0 || !ok || SteadyClock::now() >= readDeadline_) {
        readPending_ = false;
        return read != 0 || ok ? IoResult::Done : IoResult::Failed;
    }
    return IoResult::Incomplete;
}

} // namespace vandrel::serial
