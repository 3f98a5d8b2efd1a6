#pragma once
// An in-memory port: records every driver call in order, can be told to fail
// any one of them, takes injected input, breaks and line errors, and can carry
// a line peer (the simulated programmer) that sees the modem-line changes.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
class SimPort {
public:
    SimPort() = default;

    // Configuration (any thread).
    void SetPeer(std::shared_ptr<LinePeer> peer);
    void SetExists(bool exists);                     // false: Open fails ("No such file or directory")
    void FailCall(const std::string& name, int nth = 1); // the nth next call of that name fails, once
    void FailAlways(const std::string& name, bool fail = true);
    void SetWriteBlocks(bool blocks);                // writes stay pending until purged/released
    void ReleaseWrites();

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
    PortState State() const;
    CommTimeouts Timeouts() const;
    bool Rts() const;
    bool Dtr() const;
    bool Break() const;

private:
    friend class SimPortDriver;
    bool Record(const std::string& name, std::uint32_t arg); // false: this call fails

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<LinePeer> peer_;
    bool exists_ = true;
    bool open_ = false;
    std::map<std::string, int> failNth_;
    std::map<std::string, bool> failAlways_;
    std::vector<SimCall> calls_;
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> written_;
    std::uint32_t pendingEvents_ = 0;
    std::uint32_t errors_ = 0;
    std::uint32_t mask_ = 0;
    bool wake_ = false;
    bool writeBlocks_ = false;
    bool writeAbort_ = false;
    bool writeRelease_ = false;
    PortState state_;
    CommTimeouts timeouts_;
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
    std::shared_ptr<SimPort> port_;
    // pending read / write bookkeeping is the implementer's
    std::uint8_t* readBuffer_ = nullptr;
    std::uint32_t readCount_ = 0;
    std::uint32_t pendingWrite_ = 0;
};

// A factory that opens `port` for every device name.
PortDriverFactory MakeSimPortFactory(std::shared_ptr<SimPort> port);

} // namespace vandrel::serial
