#pragma once
// The seam between the serial port component and the operating system.
// Each operation maps one to one onto a Win32 comm call; the posix driver
// emulates them with termios/ioctl, the sim driver in memory.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"

namespace vandrel::serial {

// Win32 values the component uses, ours to define where <windows.h> is absent.
namespace win {
inline constexpr std::uint32_t SETRTS = 3;
inline constexpr std::uint32_t CLRRTS = 4;
inline constexpr std::uint32_t SETDTR = 5;
inline constexpr std::uint32_t CLRDTR = 6;
inline constexpr std::uint32_t MS_CTS_ON = 0x10;
inline constexpr std::uint32_t EV_RXCHAR = 0x01;
inline constexpr std::uint32_t EV_BREAK = 0x40;
inline constexpr std::uint32_t EV_ERR = 0x80;
inline constexpr std::uint32_t CE_OVERRUN = 0x02;
inline constexpr std::uint32_t CE_RXPARITY = 0x04;
inline constexpr std::uint32_t CE_FRAME = 0x08;
inline constexpr std::uint32_t PURGE_TXABORT = 0x01;
inline constexpr std::uint32_t PURGE_RXABORT = 0x02;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x04;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x08;
inline constexpr std::uint8_t NOPARITY = 0;
inline constexpr std::uint8_t ODDPARITY = 1;
inline constexpr std::uint8_t EVENPARITY = 2;
inline constexpr std::uint8_t ONESTOPBIT = 0;
inline constexpr std::uint8_t ONE5STOPBITS = 1;
inline constexpr std::uint8_t TWOSTOPBITS = 2;
inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFFu;
// Bits of the DCB flags word.
inline constexpr std::uint32_t fBinary = 0x0001;
inline constexpr std::uint32_t fParity = 0x0002;
inline constexpr std::uint32_t fOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t fOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DTR_CONTROL_ENABLE = 0x0010;   // fDtrControl = 1
inline constexpr std::uint32_t DTR_CONTROL_HANDSHAKE = 0x0020; // fDtrControl = 2
inline constexpr std::uint32_t fDsrSensitivity = 0x0040;
inline constexpr std::uint32_t fTXContinueOnXoff = 0x0080;
inline constexpr std::uint32_t fOutX = 0x0100;
inline constexpr std::uint32_t fInX = 0x0200;
inline constexpr std::uint32_t fErrorChar = 0x0400;
inline constexpr std::uint32_t fNull = 0x0800;
inline constexpr std::uint32_t RTS_CONTROL_ENABLE = 0x1000;    // fRtsControl = 1
inline constexpr std::uint32_t RTS_CONTROL_HANDSHAKE = 0x2000; // fRtsControl = 2
inline constexpr std::uint32_t fAbortOnError = 0x4000;
} // namespace win

// A DCB-like record of our own.
struct PortState {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;          // the 32-bit flags word of a DCB
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = win::NOPARITY;
    std::uint8_t StopBits = win::ONESTOPBIT;
    char XonChar = 17;
    char XoffChar = 19;
    friend bool operator==(const PortState&, const PortState&) = default;
};

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
    friend bool operator==(const CommTimeouts&, const CommTimeouts&) = default;
};

// Outcome of starting or polling an overlapped operation.
enum class IoResult {
    Done,       // completed (successfully)
    Pending,    // ERROR_IO_PENDING: started, not finished
    Incomplete, // ERROR_IO_INCOMPLETE: polled, not finished yet
    Failed,     // any other error
};

// One modem status read at a point of the line changes.
struct StatusSample {
    bool ok = false;         // the status could be read
    std::uint32_t status = 0; // MS_CTS_ON ...
    friend bool operator==(const StatusSample&, const StatusSample&) = default;
};

// The seven line operations the ICSP link drives; a port driver is one.
//
// A link that batches its line changes (the FT232R in bit-bang mode sends
// them hundreds to a USB transfer) also reads the modem status batched: a
// sample is the status at that point of the changes, and CollectSamples hands
// the samples over once they have come back. Flush sends what is batched;
// Pause holds the lines as they are for a time. The defaults are those of a
// driver that makes every call at once: a sample reads the status there and
// then (so the calls keep their order), Flush has nothing to send, and Pause
// waits on the clock.
class ModemLines {
public:
    virtual ~ModemLines() = default;
    virtual bool EscapeCommFunction(std::uint32_t function) = 0; // SETRTS, CLRRTS, SETDTR, CLRDTR
    virtual bool GetCommModemStatus(std::uint32_t& status) = 0;  // MS_CTS_ON ...
    virtual bool SetCommBreak() = 0;
    virtual bool ClearCommBreak() = 0;

    // Takes the modem status at this point of the line changes.
    virtual void SampleModemStatus() {
        StatusSample sample;
        sample.ok = GetCommModemStatus(sample.status);
        sampled_.push_back(sample);
    }
    // The samples taken since the last collection, in order. False when they
    // could not be had (a failed transfer); `samples` is then empty.
    virtual bool CollectSamples(std::vector<StatusSample>& samples) {
        samples.swap(sampled_);
        sampled_.clear();
        return true;
    }
    // Streaming: the samples that have come back so far, continuing those
    // handed over before, in order. Without `wait`, the changes so far may
    // go without waiting for their samples (a streaming link keeps a few
    // transfers in flight and hands their samples over later); with it,
    // everything is sent and every sample handed over. False once a transfer
    // failed; `samples` then has what came back before it. The default is
    // CollectSamples: every call made at once, or one transfer at a time.
    virtual bool TakeSamples(std::vector<StatusSample>& samples, bool wait) {
        (void)wait;
        return CollectSamples(samples);
    }
    // Every change made so far is on the lines once this returns true.
    virtual bool Flush() { return true; }
    // The lines stay as the changes so far leave them for at least `ms`
    // milliseconds before the next change takes effect.
    virtual bool Pause(Clock& clock, std::int64_t ms) {
        clock.WaitMs(ms);
        return true;
    }
    // The same for `us` microseconds (the pause after End Programming).
    virtual bool PauseUs(Clock& clock, std::int64_t us) {
        clock.WaitUs(us);
        return true;
    }

private:
    std::vector<StatusSample> sampled_;
};

// One opened port. A driver object serves one opening: Open, the calls, CloseHandle.
// Threads: the component calls from its owner thread; the transmit worker calls
// Write/WaitWrite/ClearCommError/EscapeCommFunction, the receive worker
// WaitCommEvent/ClearCommError/SetCommMask. Drivers must be safe for that.
class PortDriver : public ModemLines {
public:
    // CreateFileA on a device name such as "\\.\COM3". On failure osError gets
    // the operating system's reason (e.g. "Permission denied").
    virtual bool Open(const std::string& deviceName, std::string& osError) = 0;
    virtual void CloseHandle() = 0;
    // A value identifying the open port (what the component shows as Handle).
    virtual std::uint32_t NativeHandle() const = 0;

    virtual bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) = 0;
    virtual bool PurgeComm(std::uint32_t flags) = 0;
    virtual bool GetCommState(PortState& state) = 0;
    virtual bool SetCommState(const PortState& state) = 0;
    virtual bool GetCommTimeouts(CommTimeouts& timeouts) = 0;
    virtual bool SetCommTimeouts(const CommTimeouts& timeouts) = 0;
    virtual bool SetCommMask(std::uint32_t mask) = 0;

    // Blocks until an event of the mask occurs (mask gets it) or until
    // WakeCommEventWaiter / SetCommMask(0) / CloseHandle (mask gets 0).
    // False when the wait could not be started; the caller then treats it as pending.
    virtual bool WaitCommEvent(std::uint32_t& mask) = 0;
    virtual void WakeCommEventWaiter() = 0;

    // Error flags (CE_*) since the last call, cleared; inQueue = bytes waiting.
    virtual bool ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue) = 0;

    // Overlapped read: Done with `read` set, Pending, or Failed. While Pending,
    // ReadResult polls without waiting: Done, Incomplete or Failed. One read at a time.
    virtual IoResult Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read) = 0;
    virtual IoResult ReadResult(std::uint32_t& read) = 0;

    // Overlapped write: Done with `written`, Pending or Failed. After Pending,
    // WaitWrite blocks until the write completes (true, count written; a time-out
    // completes with fewer bytes) or fails (false, e.g. aborted by
    // PurgeComm(PURGE_TXABORT)). One write at a time.
    virtual IoResult Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) = 0;
    virtual bool WaitWrite(std::uint32_t& written) = 0;
};

// Makes the driver for one opening of the named device ("\\.\COMn").
using PortDriverFactory = std::function<std::unique_ptr<PortDriver>(const std::string& deviceName)>;

// The operating system's driver: posix on Linux, win32 on Windows.
std::unique_ptr<PortDriver> MakePlatformPortDriver();

} // namespace vandrel::serial
