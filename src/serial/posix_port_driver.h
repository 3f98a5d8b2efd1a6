#pragma once
// The POSIX port driver: a COM name mapped to a tty device, emulating the
// Win32 comm calls with termios, poll and ioctl. Linux only.
//
// Line and event model:
//  - EscapeCommFunction: one TIOCMBIS/TIOCMBIC per call; GetCommModemStatus: TIOCMGET.
//  - Break: TIOCSBRK/TIOCCBRK.
//  - Received breaks and frame/parity/overrun errors come from TIOCGICOUNT deltas
//    where the device supports it (pseudo-terminals do not: no such events there).
//  - Input: whenever the event wait, a read or a queue count looks, what the
//    kernel holds moves into a receive buffer of the driver's own (up to
//    kReceiveBufferLimit; the kernel keeps the rest until there is room). Each
//    batch moved is one EV_RXCHAR, also while earlier input sits unread. Reads
//    and ClearCommError's queue count are served from that buffer.
//  - The event wait sleeps in poll until new input, a line event or a wake;
//    unread input neither wakes it nor makes it poll on a timer.
//  - Reads return what is there at once; with nothing there they stay pending
//    until input arrives (then complete with it) or ReadTotalTimeoutConstant
//    passes (then complete with 0 bytes); 0 means no waiting.
//  - Writes are non-blocking; the rest of a partial write is finished by
//    WaitWrite, bounded by WriteTotalTimeoutConstant (0: unbounded) and
//    abortable by PurgeComm(PURGE_TXABORT).
//  - SetupComm is accepted and does nothing (the kernel owns the queue sizes).
//  - DSR/DTR handshaking has no termios equivalent and is accepted as plain DTR.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "serial/port_driver.h"

namespace vandrel::serial {

class PosixPortDriver final : public PortDriver {
public:
    // Maps a COM name ("COM3") to the device path to open; default ResolveComDevice.
    using Resolver = std::function<std::string(const std::string& comName)>;
    explicit PosixPortDriver(Resolver resolver = {});
    ~PosixPortDriver() override;
    PosixPortDriver(const PosixPortDriver&) = delete;
    PosixPortDriver& operator=(const PosixPortDriver&) = delete;

    bool Open(const std::string& deviceName, std::string& osError) override;
    void CloseHandle() override;
    std::uint32_t NativeHandle() const override;
    bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) override;
    bool PurgeComm(std::uint32_t flags) override;
    bool GetCommState(PortState& state) override;
    bool SetCommState(const PortState& state) override;
    bool GetCommTimeouts(CommTimeouts& timeouts) override;
    bool SetCommTimeouts(const CommTimeouts& timeouts) override;
    bool SetCommMask(std::uint32_t mask) override;
    bool WaitCommEvent(std::uint32_t& mask) override;
    void WakeCommEventWaiter() override;
    bool ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue) override;
    IoResult Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read) override;
    IoResult ReadResult(std::uint32_t& read) override;
    IoResult Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) override;
    bool WaitWrite(std::uint32_t& written) override;
    bool EscapeCommFunction(std::uint32_t function) override;
    bool GetCommModemStatus(std::uint32_t& status) override;
    bool SetCommBreak() override;
    bool ClearCommBreak() override;

    // The COM name inside a Win32 device name: "\\.\COM3" -> "COM3".
    static std::string ComNameOf(const std::string& deviceName);

    // The most input the driver's own buffer holds.
    static constexpr std::size_t kReceiveBufferLimit = 64 * 1024;

private:
    using SteadyClock = std::chrono::steady_clock;
    // Under mutex_: folds new TIOCGICOUNT counts into errors_; the events they make.
    std::uint32_t CollectLineEventsLocked();
    std::uint32_t InputQueued() const;
    // Under mutex_: moves what the kernel holds into the receive buffer; a batch
    // moved raises EV_RXCHAR. False when the device failed the read.
    bool PullInputLocked(std::uint32_t& moved);
    // Under mutex_, from a caller other than the event wait: pulls, and tells the
    // wait when it has new input to announce or room again to take more.
    bool PullForCallerLocked();
    // Under mutex_: moves up to `count` buffered bytes to `buffer`.
    std::uint32_t TakeInputLocked(std::uint8_t* buffer, std::uint32_t count);
    bool ReceiveBufferFullLocked() const { return rxBuffer_.size() >= kReceiveBufferLimit; }
    static void Signal(int eventFd);
    static void Drain(int eventFd);

    Resolver resolver_;
    int fd_ = -1;
    int wakeFd_ = -1;    // WakeCommEventWaiter, SetCommMask
    int txAbortFd_ = -1; // PurgeComm(PURGE_TXABORT)
    int rxFd_ = -1;      // input moved, or room made, by a caller other than the event wait

    mutable std::mutex mutex_;
    PortState state_;
    CommTimeouts timeouts_;
    std::uint32_t mask_ = 0;
    std::uint32_t errors_ = 0;
    std::uint32_t pendingEvents_ = 0;
    std::deque<std::uint8_t> rxBuffer_; // the received input not yet read
    bool icountSupported_ = false;
    struct Counts {
        int brk = 0, frame = 0, parity = 0, overrun = 0;
    } counts_;

    // pending read (owner thread)
    bool readPending_ = false;
    std::uint8_t* readBuffer_ = nullptr;
    std::uint32_t readCount_ = 0;
    SteadyClock::time_point readDeadline_;
    std::atomic<std::uint64_t> rxAbortGeneration_{0};
    std::uint64_t readGeneration_ = 0;

    // pending write (transmit worker)
    bool writePending_ = false;
    const std::uint8_t* writeData_ = nullptr;
    std::uint32_t writeLeft_ = 0;
    std::uint32_t writeDone_ = 0;
    bool writeBounded_ = false;
    SteadyClock::time_point writeDeadline_;
    std::atomic<std::uint64_t> txAbortGeneration_{0};
    std::uint64_t writeGeneration_ = 0;
};

} // namespace vandrel::serial
