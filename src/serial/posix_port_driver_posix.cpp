#include "serial/posix_port_driver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <linux/serial.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "serial/com_ports.h"

namespace vandrel::serial {

namespace {

constexpr std::pair<std::uint32_t, speed_t> kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},         {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},       {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},     {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedFor(std::uint32_t baud, speed_t& speed) {
    for (auto [rate, code] : kSpeeds)
        if (rate == baud) {
            speed = code;
            return true;
        }
    return false;
}

std::uint32_t BaudOf(speed_t speed) {
    for (auto [rate, code] : kSpeeds)
        if (code == speed)
            return rate;
    return 0;
}

int PollTimeout(bool bounded, std::chrono::steady_clock::time_point deadline) {
    if (!bounded)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1000 * 60 * 60));
}

} // namespace

PosixPortDriver::PosixPortDriver(Resolver resolver) : resolver_(std::move(resolver)) {
    if (!resolver_)
        resolver_ = [](const std::string& comName) { return ResolveComDevice(comName); };
}

PosixPortDriver::~PosixPortDriver() {
    if (fd_ >= 0)
        CloseHandle();
}

std::string PosixPortDriver::ComNameOf(const std::string& deviceName) {
    static const std::string prefix = "\\\\.\\";
    if (deviceName.compare(0, prefix.size(), prefix) == 0)
        return deviceName.substr(prefix.size());
    return deviceName;
}

void PosixPortDriver::Signal(int eventFd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(eventFd, &one, sizeof one);
}

void PosixPortDriver::Drain(int eventFd) {
    std::uint64_t value = 0;
    [[maybe_unused]] const auto n = ::read(eventFd, &value, sizeof value);
}

bool PosixPortDriver::Open(const std::string& deviceName, std::string& osError) {
    if (fd_ >= 0) {
        osError = std::strerror(EBUSY);
        return false;
    }
    const std::string path = resolver_(ComNameOf(deviceName));
    if (path.empty()) {
        osError = std::strerror(ENOENT);
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        osError = std::strerror(errno);
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        osError = std::strerror(errno);
        ::close(fd);
        return false;
    }
    // Like a Win32 port opened without sharing: nobody else may open it now.
    ::ioctl(fd, TIOCEXCL);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        osError = std::strerror(errno);
        ::close(fd);
        return false;
    }
    int events[3] = {-1, -1, -1}; // wake, transmit abort, receive
    for (int& eventFd : events) {
        eventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (eventFd >= 0)
            continue;
        osError = std::strerror(errno);
        for (int made : events)
            if (made >= 0)
                ::close(made);
        ::close(fd);
        return false;
    }
    std::lock_guard lock(mutex_);
    fd_ = fd;
    wakeFd_ = events[0];
    txAbortFd_ = events[1];
    rxFd_ = events[2];
    state_ = PortState{};
    state_.BaudRate = BaudOf(::cfgetospeed(&tio));
    state_.Flags = win::fBinary;
    timeouts_ = CommTimeouts{};
    mask_ = 0;
    errors_ = 0;
    pendingEvents_ = 0;
    rxBuffer_.clear();
    serial_icounter_struct icount{};
    icountSupported_ = ::ioctl(fd_, TIOCGICOUNT, &icount) == 0;
    if (icountSupported_)
        counts_ = Counts{icount.brk, icount.frame, icount.parity, icount.overrun + icount.buf_overrun};
    return true;
}

void PosixPortDriver::CloseHandle() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    ::close(wakeFd_);
    ::close(txAbortFd_);
    ::close(rxFd_);
    fd_ = wakeFd_ = txAbortFd_ = rxFd_ = -1;
    readPending_ = false;
    writePending_ = false;
    std::lock_guard lock(mutex_);
    rxBuffer_.clear();
}

std::uint32_t PosixPortDriver::NativeHandle() const {
    return fd_ >= 0 ? static_cast<std::uint32_t>(fd_) : 0xFFFFFFFFu;
}

bool PosixPortDriver::SetupComm(std::int32_t, std::int32_t) { return fd_ >= 0; }

bool PosixPortDriver::PurgeComm(std::uint32_t flags) {
    if (fd_ < 0)
        return false;
    bool ok = true;
    if (flags & win::PURGE_TXABORT) {
        ++txAbortGeneration_;
        Signal(txAbortFd_);
    }
    if (flags & win::PURGE_RXABORT)
        ++rxAbortGeneration_;
    if (flags & win::PURGE_TXCLEAR)
        ok = ::tcflush(fd_, TCOFLUSH) == 0 && ok;
    if (flags & win::PURGE_RXCLEAR) {
        ok = ::tcflush(fd_, TCIFLUSH) == 0 && ok;
        std::lock_guard lock(mutex_);
        // A full buffer kept the event wait off the device: it may watch it again.
        if (ReceiveBufferFullLocked())
            Signal(rxFd_);
        rxBuffer_.clear();
        pendingEvents_ &= ~win::EV_RXCHAR;
    }
    return ok;
}

bool PosixPortDriver::GetCommState(PortState& state) {
    if (fd_ < 0)
        return false;
    std::lock_guard lock(mutex_);
    state = state_;
    return true;
}

bool PosixPortDriver::SetCommState(const PortState& state) {
    if (fd_ < 0)
        return false;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        return false;
    speed_t speed{};
    if (!SpeedFor(state.BaudRate, speed))
        return false;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);

    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (state.ByteSize) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    case 8: tio.c_cflag |= CS8; break;
    default: return false;
    }
    switch (state.Parity) {
    case win::NOPARITY: break;
    case win::ODDPARITY: tio.c_cflag |= PARENB | PARODD; break;
    case win::EVENPARITY: tio.c_cflag |= PARENB; break;
    case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; break; // mark
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;          // space
    default: return false;
    }
    switch (state.StopBits) {
    case win::ONESTOPBIT: break;
    case win::ONE5STOPBITS:
    case win::TWOSTOPBITS: tio.c_cflag |= CSTOPB; break;
    default: return false;
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
    if ((state.Flags & win::fParity) && state.Parity != win::NOPARITY)
        tio.c_iflag |= INPCK;
    const std::uint32_t rtsControl = state.Flags & 0x3000;
    if ((state.Flags & win::fOutxCtsFlow) || rtsControl == win::RTS_CONTROL_HANDSHAKE)
        tio.c_cflag |= CRTSCTS;
    const bool software = state.Flags & (win::fOutX | win::fInX);
    if (software && state.XonChar == state.XoffChar)
        return false;
    if (state.Flags & win::fOutX)
        tio.c_iflag |= IXON;
    if (state.Flags & win::fInX)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(state.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(state.XoffChar);
    tio.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        return false;

    // The lines as the state sets them (pseudo-terminals have none: ignored).
    const std::uint32_t dtrControl = state.Flags & 0x0030;
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    if (dtrControl == 0)
        ::ioctl(fd_, TIOCMBIC, &dtr);
    else if (dtrControl == win::DTR_CONTROL_ENABLE)
        ::ioctl(fd_, TIOCMBIS, &dtr);
    if (rtsControl == 0)
        ::ioctl(fd_, TIOCMBIC, &rts);
    else if (rtsControl == win::RTS_CONTROL_ENABLE)
        ::ioctl(fd_, TIOCMBIS, &rts);

    std::lock_guard lock(mutex_);
    state_ = state;
    return true;
}

bool PosixPortDriver::GetCommTimeouts(CommTimeouts& timeouts) {
    if (fd_ < 0)
        return false;
    std::lock_guard lock(mutex_);
    timeouts = timeouts_;
    return true;
}

bool PosixPortDriver::SetCommTimeouts(const CommTimeouts& timeouts) {
    if (fd_ < 0)
        return false;
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    return true;
}

bool PosixPortDriver::SetCommMask(std::uint32_t mask) {
    if (fd_ < 0)
        return false;
    {
        std::lock_guard lock(mutex_);
        mask_ = mask;
    }
    // A wait in progress ends with an empty mask, as on Win32.
    Signal(wakeFd_);
    return true;
}

IoResult PosixPortDriver::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) {
    written = 0;
    if (fd_ < 0 || writePending_)
        return IoResult::Failed;
    if (count == 0)
        return IoResult::Done;
    const ssize_t n = ::write(fd_, data, count);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        return IoResult::Failed;
    const auto done = static_cast<std::uint32_t>(std::max<ssize_t>(n, 0));
    if (done == count) {
        written = count;
        return IoResult::Done;
    }
    std::uint32_t timeout = 0;
    {
        std::lock_guard lock(mutex_);
        timeout = timeouts_.WriteTotalTimeoutConstant;
    }
    writePending_ = true;
    writeData_ = data;
    writeDone_ = done;
    writeLeft_ = count - done;
    writeBounded_ = timeout != 0;
    writeDeadline_ = SteadyClock::now() + std::chrono::milliseconds(timeout);
    writeGeneration_ = txAbortGeneration_.load();
    return IoResult::Pending;
}

bool PosixPortDriver::WaitWrite(std::uint32_t& written) {
    written = 0;
    if (!writePending_ || fd_ < 0)
        return false;
    for (;;) {
        if (txAbortGeneration_.load() != writeGeneration_) {
            writePending_ = false;
            written = writeDone_;
            return false;
        }
        if (writeLeft_ == 0) {
            writePending_ = false;
            written = writeDone_;
            return true;
        }
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {txAbortFd_, POLLIN, 0}};
        const int timeout = PollTimeout(writeBounded_, writeDeadline_);
        const int n = ::poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) {
            writePending_ = false;
            written = writeDone_;
            return false;
        }
        if (n == 0 && writeBounded_ && SteadyClock::now() >= writeDeadline_) {
            // The write time-out completes the write with what went out.
            writePending_ = false;
            written = writeDone_;
            return true;
        }
        if (fds[1].revents & POLLIN)
            Drain(txAbortFd_);
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            writePending_ = false;
            written = writeDone_;
            return false;
        }
        if (fds[0].revents & POLLOUT) {
            const ssize_t m = ::write(fd_, writeData_ + writeDone_, writeLeft_);
            if (m < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                writePending_ = false;
                written = writeDone_;
                return false;
            }
            if (m > 0) {
                writeDone_ += static_cast<std::uint32_t>(m);
                writeLeft_ -= static_cast<std::uint32_t>(m);
            }
        }
    }
}

bool PosixPortDriver::EscapeCommFunction(std::uint32_t function) {
    int bits = 0;
    unsigned long request = 0;
    switch (function) {
    case win::SETRTS: bits = TIOCM_RTS; request = TIOCMBIS; break;
    case win::CLRRTS: bits = TIOCM_RTS; request = TIOCMBIC; break;
    case win::SETDTR: bits = TIOCM_DTR; request = TIOCMBIS; break;
    case win::CLRDTR: bits = TIOCM_DTR; request = TIOCMBIC; break;
    default: return false;
    }
    return fd_ >= 0 && ::ioctl(fd_, request, &bits) == 0;
}

bool PosixPortDriver::GetCommModemStatus(std::uint32_t& status) {
    status = 0;
    int bits = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &bits) != 0)
        return false;
    if (bits & TIOCM_CTS)
        status |= win::MS_CTS_ON;
    if (bits & TIOCM_DSR)
        status |= 0x20; // MS_DSR_ON
    if (bits & TIOCM_RI)
        status |= 0x40; // MS_RING_ON
    if (bits & TIOCM_CD)
        status |= 0x80; // MS_RLSD_ON
    return true;
}

bool PosixPortDriver::SetCommBreak() { return fd_ >= 0 && ::ioctl(fd_, TIOCSBRK) == 0; }

bool PosixPortDriver::ClearCommBreak() { return fd_ >= 0 && ::ioctl(fd_, TIOCCBRK) == 0; }

std::unique_ptr<PortDriver> MakePlatformPortDriver() { return std::make_unique<PosixPortDriver>(); }

} // namespace vandrel::serial
