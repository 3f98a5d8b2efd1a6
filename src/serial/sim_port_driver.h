#pragma once
// An in-memory port: records every driver call in order, can be told to fail
// any one of them, takes injected input, breaks and line errors, and can carry
// a line peer (the simulated programmer) that sees the modem-line changes.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "serial/port_driver.h"

namespace vandrel::serial {

// Whatever sits at the other end of the simulated cable.
class LinePeer {
public:
    virtual ~LinePeer() = default;
    // The PC changed a line: SETRTS, CLRRTS, SETDTR or CLRDTR.
    virtual void OnEscape(std::uint32_t function) = 0;
    // The PC switched the break state of its transmit line.
    virtual void OnBreak(bool on) = 0;
    // The modem status bits the peer drives (MS_CTS_ON ...).
    virtual std::uint32_t ModemStatus() = 0;
    // Bytes the PC wrote on the data path (ignored by default).
    virtual void OnData(const std::uint8_t* /*data*/, std::uint32_t /*count*/) {}
};

struct SimCall {
    std::string Name;        // the driver operation, e.g. "EscapeCommFunction"
    std::uint32_t Arg = 0;   // its main argument (function code, flags, mask, size ...)
    friend bool operator==(const SimCall&, const SimCall&) = default;
};

// The simulated port itself; outlives the driver objects that open it.
//
// Call names are the Win32 names: CreateFileA, SetupComm (Arg: input queue size),
// PurgeComm (flags), GetCommState, SetCommState (Arg: flags word), GetCommTimeouts,
// SetCommTimeouts (Arg: WriteTotalTimeoutConstant), SetCommMask (mask),
// WaitCommEvent (the mask in force), ClearCommError, ReadFile (count),
// WriteFile (count), EscapeCommFunction (function), GetCommModemStatus,
// SetCommBreak, ClearCommBreak, CloseHandle.
//
// Line model: SETRTS/CLRRTS/SETDTR/CLRDTR set the lines; SetCommState also sets
// them the way a real port does (DTR_CONTROL_ENABLE asserts DTR, DTR control 0
// clears it, handshake leaves it; the same for RTS). Every actual line change
// and every break change reaches the peer, in call order.
//
// SetCommState refuses what a real UART refuses: ByteSize outside 5..8, baud
// rate 0, parity above 4, stop bits above 2.
//
// A pending read completes as soon as any input is there, with what is there,
// or with 0 bytes once ReadTotalTimeoutConstant has passed on the port's clock.
class SimPort {
public:
    SimPort() = default;

    // Configuration (any thread).
    void SetPeer(std::shared_ptr<LinePeer> peer);
    void SetExists(bool exists);                     // false: Open fails ("No such file or directory")
    void FailCall(const std::string& name, int nth = 1); // the nth next call of that name fails, once
    void FailAlways(const std::string& name, bool fail = true);
    void SetWriteBlocks(bool blocks);                // writes stay pending until purged/released
    void ReleaseWrites();                            // completes the writes pending now
    // Off: calls are no longer kept (for the millions of line calls of a benchmark).
    void SetRecording(bool on);
    // The clock of read time-outs (default: real time).
    void SetClock(Clock& clock);

    // Stimuli from the far end.
    void InjectReceived(const std::vector<std::uint8_t>& bytes);
    void InjectBreak();
    void InjectLineErrors(std::uint32_t ceFlags);

    // Observation.
    std::vector<SimCall> Calls() const;
    std::vector<SimCall> CallsNamed(const std::string& name) const;
    void ClearCalls();
    std::vector<std::uint8_t> Written() const;       // every byte written so far
    bool IsOpen() const;
    std::string DeviceName() const;                  // of the last successful open
    int OpenCount() const;                           // successful opens so far
    bool WritePending() const;                       // a write waits for release
    PortState State() const;
    std::vector<PortState> StateHistory() const;     // every accepted SetCommState, in order
    CommTimeouts Timeouts() const;
    std::int32_t InQueueSize() const;                // of the last SetupComm
    std::int32_t OutQueueSize() const;
    bool Rts() const;
    bool Dtr() const;
    bool Break() const;

    enum Op : std::uint8_t {
        kCreateFile, kSetupComm, kPurgeComm, kGetCommState, kSetCommState, kGetCommTimeouts,
        kSetCommTimeouts, kSetCommMask, kWaitCommEvent, kClearCommError, kReadFile, kWriteFile,
        kEscapeCommFunction, kGetCommModemStatus, kSetCommBreak, kClearCommBreak, kCloseHandle,
        kOpCount
    };
    static std::string_view OpName(Op op);

private:
    friend class SimPortDriver;
    struct Entry {
        Op op;
        std::uint32_t arg;
    };
    // Under mutex_: records the call; false when it is to fail.
    bool RecordLocked(Op op, std::uint32_t arg);
    static Op OpFromName(const std::string& name);
    void SetLineLocked(bool& line, bool on, std::uint32_t setCode, std::uint32_t clrCode,
                       std::vector<std::uint32_t>& toPeer);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    // Serialises the calls into the peer so it sees the changes in call order.
    std::mutex peerMutex_;
    std::shared_ptr<LinePeer> peer_;
    Clock* clock_ = &RealClock::Instance();
    bool recording_ = true;
    bool exists_ = true;
    bool open_ = false;
    std::uint64_t generation_ = 0; // bumped at every open and close
    int openCount_ = 0;
    std::string deviceName_;
    std::array<int, kOpCount> failNth_{};
    std::array<bool, kOpCount> failAlways_{};
    std::vector<Entry> calls_;
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> written_;
    std::uint32_t pendingEvents_ = 0;
    std::uint32_t errors_ = 0;
    std::uint32_t mask_ = 0;
    std::uint64_t maskGeneration_ = 0;
    std::uint64_t wakeCount_ = 0;     // wakes asked for
    std::uint64_t wakeConsumed_ = 0;  // wakes taken by a waiter
    bool writeBlocks_ = false;
    std::uint64_t txAbortGeneration_ = 0;
    std::uint64_t rxAbortGeneration_ = 0;
    std::uint64_t releaseGeneration_ = 0;
    int writesPending_ = 0;
    PortState state_;
    std::vector<PortState> stateHistory_;
    CommTimeouts timeouts_;
    std::int32_t inQueue_ = 0, outQueue_ = 0;
    bool rts_ = false, dtr_ = false, break_ = false;
};

class SimPortDriver final : public PortDriver {
public:
    explicit SimPortDriver(std::shared_ptr<SimPort> port);
    ~SimPortDriver() override;

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

private:
    // Under the port's mutex: this driver's opening is the port's current one.
    bool MineLocked() const;
    std::uint32_t TakeInputLocked(std::uint8_t* buffer, std::uint32_t count);
    void Notify(const std::vector<std::uint32_t>& escapes, int breakChange, bool data,
                const std::vector<std::uint8_t>& bytes);

    std::shared_ptr<SimPort> port_;
    bool opened_ = false;
    std::uint64_t generation_ = 0;
    std::uint32_t handle_ = 0;
    // pending read
    bool readPending_ = false;
    std::uint8_t* readBuffer_ = nullptr;
    std::uint32_t readCount_ = 0;
    std::int64_t readDeadline_ = 0;
    std::uint64_t readAbortGeneration_ = 0;
    // pending write
    bool writePending_ = false;
    std::vector<std::uint8_t> pendingWrite_;
    std::uint64_t writeAbortGeneration_ = 0;
    std::uint64_t writeReleaseGeneration_ = 0;
};

// A factory that opens `port` for every device name.
PortDriverFactory MakeSimPortFactory(std::shared_ptr<SimPort> port);

} // namespace vandrel::serial
