#pragma once
// The Windows port driver: each PortDriver operation is the Win32 comm call of
// the same name on a handle opened for overlapped I/O.
//
// Include this header before anything else that pulls in <windows.h>: our
// port_driver.h names some of its constants like <windows.h>'s macros, so it
// has to be seen first. After this header, use the Win32 macros (SETRTS,
// EV_RXCHAR ...) rather than serial::win::…; the driver checks they agree.
#include "serial/port_driver.h"

#include "common/windows_api.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>

namespace vandrel::serial {

// A DCB carrying `state`; the flags word is copied field by field onto the
// DCB's bit-fields. Fields the record does not hold (EofChar, ErrorChar,
// EvtChar, the reserved words) come from `base`.
DCB ToDcb(const PortState& state, const DCB& base = DCB{});
PortState FromDcb(const DCB& dcb);

COMMTIMEOUTS ToCommTimeouts(const CommTimeouts& timeouts);
CommTimeouts FromCommTimeouts(const COMMTIMEOUTS& timeouts);

// The system's text for an error code, without the trailing line break;
// "Windows error N" when the system has none.
std::string Win32ErrorText(DWORD code);

class Win32PortDriver final : public PortDriver {
public:
    Win32PortDriver() = default;
    ~Win32PortDriver() override;
    Win32PortDriver(const Win32PortDriver&) = delete;
    Win32PortDriver& operator=(const Win32PortDriver&) = delete;

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
    // Calls share the lock; CloseHandle takes it alone, after waking and
    // cancelling whatever blocks, so no call ever sees a closed handle.
    using Shared = std::shared_lock<std::shared_mutex>;
    HANDLE PortLocked() const { return closing_ ? INVALID_HANDLE_VALUE : port_; }
    void ReleaseHandles();
    // Cancels one overlapped operation and waits until the system is done with it.
    void AbandonLocked(OVERLAPPED& overlapped);

    mutable std::shared_mutex mutex_;
    HANDLE port_ = INVALID_HANDLE_VALUE;
    std::atomic<bool> closing_{false};
    HANDLE wakeEvent_ = nullptr;  // auto reset: WakeCommEventWaiter, remembered until a wait takes it
    HANDLE closeEvent_ = nullptr; // manual reset: CloseHandle has begun
    OVERLAPPED readOverlapped_{};
    OVERLAPPED writeOverlapped_{};
    OVERLAPPED waitOverlapped_{};
    DWORD waitMask_ = 0;          // WaitCommEvent's target; the system writes it on completion
    bool readPending_ = false;    // owner thread only
    std::atomic<bool> writePending_{false};
};

} // namespace vandrel::serial
