#pragma once
// The serial port component: owns one COM port, keeps its line settings as
// properties, opens it by number, runs the transmit and receive workers while
// it is open, and reports line events on its owner thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "common/clock.h"
#include "serial/port_driver.h"

namespace vandrel::serial {

// Failure of opening or configuring a port. what() is the fixed English
// message; OsReason() the operating system's word on it, when there is one.
class ECommError : public std::runtime_error {
public:
    explicit ECommError(const std::string& message, std::string osReason = {})
        : std::runtime_error(message), osReason_(std::move(osReason)) {}
    const std::string& OsReason() const { return osReason_; }

private:
    std::string osReason_;
};

enum TCommParityBits : std::uint8_t { cpbNone = 0, cpbOdd = 1, cpbEven = 2 };
enum TCommStopBits : std::uint8_t { csb1 = 0, csb1p5 = 1, csb2 = 2 };
enum TCommFlowCtrls : std::uint8_t {
    cfcRtsCts = 0, cfcDtrDsr = 1, cfcXonXoff = 2, cfcHalfHigh = 3, cfcHalfLow = 4, cfcNone = 5
};

// Notification message numbers (sent by the workers to the owner thread).
inline constexpr std::uint32_t CXM_TRANSMIT = 0x500;
inline constexpr std::uint32_t CXM_WAKE = 0x501;
inline constexpr std::uint32_t CXM_RECEIVE = 0x500;
inline constexpr std::uint32_t CXM_BREAK = 0x501;
inline constexpr std::uint32_t CXM_ERROR = 0x502;

inline constexpr std::uint32_t INVALID_HANDLE_VALUE = 0xFFFFFFFFu;

class TCustomCommX;
using TCommReceiveEvent = std::function<void(TCustomCommX* Sender, std::int32_t ReceiveSize)>;
using TCommBreakEvent = std::function<void(TCustomCommX* Sender)>;
using TCommErrEvent = std::function<void(TCustomCommX* Sender, std::int32_t ErrorState)>;

class NotificationChannel; // owner-thread channel, see notification_channel.h
class TCommTransThread;
class TCommReceiveThread;

class TCustomCommX {
public:
    TCustomCommX();
    virtual ~TCustomCommX();
    TCustomCommX(const TCustomCommX&) = delete;
    TCustomCommX& operator=(const TCustomCommX&) = delete;

    void Open();
    void Close();
    virtual bool SendData(const void* Data, std::int32_t Count);
    virtual std::int32_t ReadData(void* Buffer, std::int32_t Count);
    void PurgeTransmit();
    void PurgeReceive();
    std::int32_t ReceivedCount();
    void SetRts(bool Active);
    void SetDtr(bool Active);

    // Properties: getter Name(), setter SetName(value).
    std::int32_t PortNo() const;
    void SetPortNo(std::int32_t value);
    std::int32_t BitRate() const;
    void SetBitRate(std::int32_t value);
    std::int32_t CharSize() const;
    void SetCharSize(std::int32_t value);
    TCommParityBits ParityBit() const;
    void SetParityBit(TCommParityBits value);
    TCommStopBits StopBit() const;
    void SetStopBit(TCommStopBits value);
    TCommFlowCtrls FlowCtrl() const;
    void SetFlowCtrl(TCommFlowCtrls value);
    std::int32_t TimeOutTrans() const;
    void SetTimeOutTrans(std::int32_t value);
    std::int32_t TimeOutReceive() const;
    void SetTimeOutReceive(std::int32_t value);
    char XonChar() const;
    void SetXonChar(char value);
    char XoffChar() const;
    void SetXoffChar(char value);
    std::int32_t BufLenTrans() const;
    void SetBufLenTrans(std::int32_t value);
    std::int32_t BufLenReceive() const;
    void SetBufLenReceive(std::int32_t value);
    // INVALID_HANDLE_VALUE while closed.
    std::uint32_t Handle() const;

    TCommReceiveEvent OnReceive;
    TCommBreakEvent OnBreak;
    TCommErrEvent OnError;

    // --- Seams ---
    // Where drivers come from (default: the platform's driver).
    void SetDriverFactory(PortDriverFactory factory);
    // The open port's driver, or nullptr while closed. The ICSP link drives its modem lines.
    PortDriver* Driver() const;
    // The clock of the component's pauses (default: real time).
    void SetClock(Clock& clock);
    // Lets the owner dispatch its pending messages while SendData/ReadData wait.
    void SetPumpHook(std::function<void()> hook);
    // Called from a worker thread whenever a notification waits for the owner;
    // the owner then calls ProcessNotifications on its own thread.
    void SetNotificationWakeup(std::function<void()> wakeup);
    // Runs every pending notification on the calling (owner) thread.
    void ProcessNotifications();
    // The window procedure of the notification channel.
    void HandleNotification(std::uint32_t message, std::uint32_t lParam);
    // The OS reason of the last failed open ("" when none).
    const std::string& LastOsError() const;
    // Introspection for tests.
    const PortState& GetPortState() const;
    std::int32_t PendingBytes() const;
    std::int32_t PendingChunks() const;

protected:
    // implementation details are the serial module's
    struct Impl;
    std::unique_ptr<Impl> impl_;

private:
    void StartWorkers();
    void StopWorkers();
    void ApplyBufferSizes();
    void ApplyState(const char* message);
    void ApplyBitRate();
    void ApplyCharSize();
    void ApplyParityBit();
    void ApplyStopBit();
    void ApplyFlowCtrl();
    void ApplyTimeouts();
    void ApplyXonChar();
    void ApplyXoffChar();
    void PumpOwner();
    static std::uint32_t FlowFlags(TCommFlowCtrls flow);
};

class TCommX : public TCustomCommX {
public:
    using TCustomCommX::TCustomCommX;
};

// The device name for a port number: "\\.\COM" + number, at most 15 characters.
// Empty when the number would make a longer name.
std::string CommDeviceName(std::int32_t portNo);

} // namespace vandrel::serial
