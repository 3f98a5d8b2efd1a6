// The Windows port driver. Every operation is the Win32 call it is named
// after, on a handle opened for overlapped I/O; each overlapped user (read,
// write, comm event wait) has its own OVERLAPPED and manual-reset event.
#include "serial/port_driver.h"

// Our values, taken before <windows.h> turns the same names into macros.
namespace vandrel::serial::ours {
constexpr std::uint32_t kSetRts = win::SETRTS, kClrRts = win::CLRRTS;
constexpr std::uint32_t kSetDtr = win::SETDTR, kClrDtr = win::CLRDTR;
constexpr std::uint32_t kMsCtsOn = win::MS_CTS_ON;
constexpr std::uint32_t kEvRxChar = win::EV_RXCHAR, kEvBreak = win::EV_BREAK, kEvErr = win::EV_ERR;
constexpr std::uint32_t kCeOverrun = win::CE_OVERRUN, kCeRxParity = win::CE_RXPARITY, kCeFrame = win::CE_FRAME;
constexpr std::uint32_t kPurgeTxAbort = win::PURGE_TXABORT, kPurgeRxAbort = win::PURGE_RXABORT;
constexpr std::uint32_t kPurgeTxClear = win::PURGE_TXCLEAR, kPurgeRxClear = win::PURGE_RXCLEAR;
constexpr std::uint8_t kNoParity = win::NOPARITY, kOddParity = win::ODDPARITY, kEvenParity = win::EVENPARITY;
constexpr std::uint8_t kOneStopBit = win::ONESTOPBIT, kOne5StopBits = win::ONE5STOPBITS, kTwoStopBits = win::TWOSTOPBITS;
constexpr std::uint32_t kMaxDword = win::MAXDWORD;
constexpr std::uint32_t kDtrControlEnable = win::DTR_CONTROL_ENABLE, kDtrControlHandshake = win::DTR_CONTROL_HANDSHAKE;
constexpr std::uint32_t kRtsControlEnable = win::RTS_CONTROL_ENABLE, kRtsControlHandshake = win::RTS_CONTROL_HANDSHAKE;
} // namespace vandrel::serial::ours

#include "serial/win32_port_driver_win32.h"

#include <cstring>
#include <memory>

namespace vandrel::serial {
namespace {

static_assert(ours::kSetRts == SETRTS && ours::kClrRts == CLRRTS);
static_assert(ours::kSetDtr == SETDTR && ours::kClrDtr == CLRDTR);
static_assert(ours::kMsCtsOn == MS_CTS_ON);
static_assert(ours::kEvRxChar == EV_RXCHAR && ours::kEvBreak == EV_BREAK && ours::kEvErr == EV_ERR);
static_assert(ours::kCeOverrun == CE_OVERRUN && ours::kCeRxParity == CE_RXPARITY && ours::kCeFrame == CE_FRAME);
static_assert(ours::kPurgeTxAbort == PURGE_TXABORT && ours::kPurgeRxAbort == PURGE_RXABORT);
static_assert(ours::kPurgeTxClear == PURGE_TXCLEAR && ours::kPurgeRxClear == PURGE_RXCLEAR);
static_assert(ours::kNoParity == NOPARITY && ours::kOddParity == ODDPARITY && ours::kEvenParity == EVENPARITY);
static_assert(ours::kOneStopBit == ONESTOPBIT && ours::kOne5StopBits == ONE5STOPBITS &&
              ours::kTwoStopBits == TWOSTOPBITS);
static_assert(ours::kMaxDword == MAXDWORD);
static_assert(sizeof(DCB) == 28, "PortState::DCBlength is 28");

// Bit positions of the DCB flags word (fBinary is bit 0 ... fAbortOnError bit 14).
constexpr unsigned kDtrShift = 4;
constexpr unsigned kRtsShift = 12;
constexpr unsigned kDummyShift = 15;
static_assert(ours::kDtrControlEnable == DTR_CONTROL_ENABLE << kDtrShift);
static_assert(ours::kDtrControlHandshake == DTR_CONTROL_HANDSHAKE << kDtrShift);
static_assert(ours::kRtsControlEnable == RTS_CONTROL_ENABLE << kRtsShift);
static_assert(ours::kRtsControlHandshake == RTS_CONTROL_HANDSHAKE << kRtsShift);
static_assert(win::fBinary == 1u << 0 && win::fParity == 1u << 1 && win::fOutxCtsFlow == 1u << 2 &&
              win::fOutxDsrFlow == 1u << 3 && win::fDsrSensitivity == 1u << 6 &&
              win::fTXContinueOnXoff == 1u << 7 && win::fOutX == 1u << 8 && win::fInX == 1u << 9 &&
              win::fErrorChar == 1u << 10 && win::fNull == 1u << 11 && win::fAbortOnError == 1u << 14);

constexpr DWORD Bit(std::uint32_t flags, std::uint32_t mask) { return (flags & mask) != 0 ? 1 : 0; }

void ResetOverlapped(OVERLAPPED& overlapped)
{
    HANDLE event = overlapped.hEvent;
    overlapped = OVERLAPPED{};
    overlapped.hEvent = event;
    ::ResetEvent(event);
}

} // namespace

DCB ToDcb(const PortState& state, const DCB& base)
{
    DCB dcb = base;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = state.BaudRate;
    const std::uint32_t f = state.Flags;
    dcb.fBinary = Bit(f, win::fBinary);
    dcb.fParity = Bit(f, win::fParity);
    dcb.fOutxCtsFlow = Bit(f, win::fOutxCtsFlow);
    dcb.fOutxDsrFlow = Bit(f, win::fOutxDsrFlow);
    dcb.fDtrControl = (f >> kDtrShift) & 3u;
    dcb.fDsrSensitivity = Bit(f, win::fDsrSensitivity);
    dcb.fTXContinueOnXoff = Bit(f, win::fTXContinueOnXoff);
    dcb.fOutX = Bit(f, win::fOutX);
    dcb.fInX = Bit(f, win::fInX);
    dcb.fErrorChar = Bit(f, win::fErrorChar);
    dcb.fNull = Bit(f, win::fNull);
    dcb.fRtsControl = (f >> kRtsShift) & 3u;
    dcb.fAbortOnError = Bit(f, win::fAbortOnError);
    dcb.fDummy2 = f >> kDummyShift;
    dcb.XonLim = state.XonLim;
    dcb.XoffLim = state.XoffLim;
    dcb.ByteSize = state.ByteSize;
    dcb.Parity = state.Parity;
    dcb.StopBits = state.StopBits;
    dcb.XonChar = state.XonChar;
    dcb.XoffChar = state.XoffChar;
    return dcb;
}

PortState FromDcb(const DCB& dcb)
{
    PortState state;
    state.DCBlength = dcb.DCBlength;
    state.BaudRate = dcb.BaudRate;
    std::uint32_t f = 0;
    f |= dcb.fBinary ? win::fBinary : 0;
    f |= dcb.fParity ? win::fParity : 0;
    f |= dcb.fOutxCtsFlow ? win::fOutxCtsFlow : 0;
    f |= dcb.fOutxDsrFlow ? win::fOutxDsrFlow : 0;
    f |= static_cast<std::uint32_t>(dcb.fDtrControl) << kDtrShift;
    f |= dcb.fDsrSensitivity ? win::fDsrSensitivity : 0;
    f |= dcb.fTXContinueOnXoff ? win::fTXContinueOnXoff : 0;
    f |= dcb.fOutX ? win::fOutX : 0;
    f |= dcb.fInX ? win::fInX : 0;
    f |= dcb.fErrorChar ? win::fErrorChar : 0;
    f |= dcb.fNull ? win::fNull : 0;
    f |= static_cast<std::uint32_t>(dcb.fRtsControl) << kRtsShift;
    f |= dcb.fAbortOnError ? win::fAbortOnError : 0;
    f |= static_cast<std::uint32_t>(dcb.fDummy2) << kDummyShift;
    state.Flags = f;
    state.XonLim = dcb.XonLim;
    state.XoffLim = dcb.XoffLim;
    state.ByteSize = dcb.ByteSize;
    state.Parity = dcb.Parity;
    state.StopBits = dcb.StopBits;
    state.XonChar = dcb.XonChar;
    state.XoffChar = dcb.XoffChar;
    return state;
}

COMMTIMEOUTS ToCommTimeouts(const CommTimeouts& t)
{
    COMMTIMEOUTS c{};
    c.ReadIntervalTimeout = t.ReadIntervalTimeout;
    c.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
    c.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
    c.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
    c.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
    return c;
}

CommTimeouts FromCommTimeouts(const COMMTIMEOUTS& c)
{
    CommTimeouts t;
    t.ReadIntervalTimeout = c.ReadIntervalTimeout;
    t.ReadTotalTimeoutMultiplier = c.ReadTotalTimeoutMultiplier;
    t.ReadTotalTimeoutConstant = c.ReadTotalTimeoutConstant;
    t.WriteTotalTimeoutMultiplier = c.WriteTotalTimeoutMultiplier;
    t.WriteTotalTimeoutConstant = c.WriteTotalTimeoutConstant;
    return t;
}

std::string Win32ErrorText(DWORD code)
{
    char buffer[512];
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                               buffer, sizeof buffer, nullptr);
    while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ')) --n;
    if (n == 0) return "Windows error " + std::to_string(code);
    return std::string(buffer, n);
}

// ------------------------------------------------------------ Win32PortDriver

Win32PortDriver::~Win32PortDriver() { CloseHandle(); }

bool Win32PortDriver::Open(const std::string& deviceName, std::string& osError)
{
    std::unique_lock lock(mutex_);
    if (port_ != INVALID_HANDLE_VALUE) {
        osError = Win32ErrorText(ERROR_ALREADY_EXISTS);
        return false;
    }
    HANDLE port = ::CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        osError = Win32ErrorText(::GetLastError());
        return false;
    }
    port_ = port;
    readOverlapped_.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    writeOverlapped_.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    waitOverlapped_.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wakeEvent_ = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    closeEvent_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!readOverlapped_.hEvent || !writeOverlapped_.hEvent || !waitOverlapped_.hEvent || !wakeEvent_ ||
        !closeEvent_) {
        osError = Win32ErrorText(::GetLastError());
        ReleaseHandles();
        return false;
    }
    closing_ = false;
    return true;
}

void Win32PortDriver::CloseHandle()
{
    {
        // Wake whatever blocks in WaitCommEvent or WaitWrite; they give up
        // their operation and leave, letting the exclusive lock through.
        Shared lock(mutex_);
        if (port_ == INVALID_HANDLE_VALUE || closing_.exchange(true)) return;
        ::SetEvent(closeEvent_);
    }
    std::unique_lock lock(mutex_);
    if (readPending_) AbandonLocked(readOverlapped_);
    if (writePending_) AbandonLocked(writeOverlapped_);
    readPending_ = false;
    writePending_ = false;
    ReleaseHandles();
}

void Win32PortDriver::ReleaseHandles()
{
    if (port_ != INVALID_HANDLE_VALUE) ::CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    for (HANDLE* event : {&readOverlapped_.hEvent, &writeOverlapped_.hEvent, &waitOverlapped_.hEvent, &wakeEvent_,
                          &closeEvent_}) {
        if (*event) ::CloseHandle(*event);
        *event = nullptr;
    }
    closing_ = false;
}

void Win32PortDriver::AbandonLocked(OVERLAPPED& overlapped)
{
    ::CancelIoEx(port_, &overlapped);
    DWORD ignored = 0;
    ::GetOverlappedResult(port_, &overlapped, &ignored, TRUE);
}

std::uint32_t Win32PortDriver::NativeHandle() const
{
    Shared lock(mutex_);
    // Kernel handles fit in 32 bits on 64-bit Windows; INVALID_HANDLE_VALUE
    // becomes all bits set, as the component expects.
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(port_));
}

bool Win32PortDriver::SetupComm(std::int32_t inQueue, std::int32_t outQueue)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    return port != INVALID_HANDLE_VALUE &&
           ::SetupComm(port, static_cast<DWORD>(inQueue), static_cast<DWORD>(outQueue));
}

bool Win32PortDriver::PurgeComm(std::uint32_t flags)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    return port != INVALID_HANDLE_VALUE && ::PurgeComm(port, flags);
}

bool Win32PortDriver::GetCommState(PortState& state)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (port == INVALID_HANDLE_VALUE || !::GetCommState(port, &dcb)) return false;
    state = FromDcb(dcb);
    return true;
}

bool Win32PortDriver::SetCommState(const PortState& state)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    if (port == INVALID_HANDLE_VALUE) return false;
    // The port's own DCB supplies what our record does not carry (EofChar,
    // ErrorChar, EvtChar), so those keep the driver's values.
    DCB base{};
    base.DCBlength = sizeof(DCB);
    if (!::GetCommState(port, &base)) {
        base = DCB{};
        base.DCBlength = sizeof(DCB);
    }
    DCB dcb = ToDcb(state, base);
    return ::SetCommState(port, &dcb);
}

bool Win32PortDriver::GetCommTimeouts(CommTimeouts& timeouts)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    COMMTIMEOUTS c{};
    if (port == INVALID_HANDLE_VALUE || !::GetCommTimeouts(port, &c)) return false;
    timeouts = FromCommTimeouts(c);
    return true;
}

bool Win32PortDriver::SetCommTimeouts(const CommTimeouts& timeouts)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    COMMTIMEOUTS c = ToCommTimeouts(timeouts);
    return port != INVALID_HANDLE_VALUE && ::SetCommTimeouts(port, &c);
}

bool Win32PortDriver::SetCommMask(std::uint32_t mask)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    // A pending WaitCommEvent completes with mask 0 when the mask changes.
    return port != INVALID_HANDLE_VALUE && ::SetCommMask(port, mask);
}

bool Win32PortDriver::WaitCommEvent(std::uint32_t& mask)
{
    Shared lock(mutex_);
    mask = 0;
    HANDLE port = PortLocked();
    if (port == INVALID_HANDLE_VALUE) return false;
    ResetOverlapped(waitOverlapped_);
    waitMask_ = 0;
    DWORD ignored = 0;
    if (::WaitCommEvent(port, &waitMask_, &waitOverlapped_)) {
        mask = waitMask_;
        return true;
    }
    if (::GetLastError() != ERROR_IO_PENDING) return false;

    HANDLE events[] = {waitOverlapped_.hEvent, wakeEvent_, closeEvent_};
    const DWORD woke = ::WaitForMultipleObjects(3, events, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0) {
        if (::GetOverlappedResult(port, &waitOverlapped_, &ignored, FALSE)) mask = waitMask_;
        return true;
    }
    // Woken (or the wait itself failed): the system must be done with
    // waitMask_ and the OVERLAPPED before we return. An event that completed
    // in the meantime is reported rather than lost.
    ::CancelIoEx(port, &waitOverlapped_);
    if (::GetOverlappedResult(port, &waitOverlapped_, &ignored, TRUE)) mask = waitMask_;
    return woke == WAIT_OBJECT_0 + 1 || woke == WAIT_OBJECT_0 + 2;
}

void Win32PortDriver::WakeCommEventWaiter()
{
    Shared lock(mutex_);
    // Auto reset: a wake that comes before the wait starts ends the next wait.
    if (wakeEvent_) ::SetEvent(wakeEvent_);
}

bool Win32PortDriver::ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue)
{
    Shared lock(mutex_);
    errors = 0;
    inQueue = 0;
    HANDLE port = PortLocked();
    DWORD e = 0;
    COMSTAT status{};
    if (port == INVALID_HANDLE_VALUE || !::ClearCommError(port, &e, &status)) return false;
    errors = e;
    inQueue = status.cbInQue;
    return true;
}

IoResult Win32PortDriver::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read)
{
    Shared lock(mutex_);
    read = 0;
    HANDLE port = PortLocked();
    if (port == INVALID_HANDLE_VALUE || readPending_) return IoResult::Failed;
    ResetOverlapped(readOverlapped_);
    if (::ReadFile(port, buffer, count, nullptr, &readOverlapped_)) {
        DWORD n = 0;
        ::GetOverlappedResult(port, &readOverlapped_, &n, FALSE);
        read = n;
        return IoResult::Done;
    }
    if (::GetLastError() != ERROR_IO_PENDING) return IoResult::Failed;
    readPending_ = true;
    return IoResult::Pending;
}

IoResult Win32PortDriver::ReadResult(std::uint32_t& read)
{
    Shared lock(mutex_);
    read = 0;
    HANDLE port = PortLocked();
    if (port == INVALID_HANDLE_VALUE || !readPending_) return IoResult::Failed;
    DWORD n = 0;
    if (::GetOverlappedResult(port, &readOverlapped_, &n, FALSE)) {
        readPending_ = false;
        read = n;
        return IoResult::Done;
    }
    if (::GetLastError() == ERROR_IO_INCOMPLETE) return IoResult::Incomplete;
    readPending_ = false;
    read = n;
    return IoResult::Failed;
}

IoResult Win32PortDriver::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written)
{
    Shared lock(mutex_);
    written = 0;
    HANDLE port = PortLocked();
    if (port == INVALID_HANDLE_VALUE || writePending_) return IoResult::Failed;
    ResetOverlapped(writeOverlapped_);
    if (::WriteFile(port, data, count, nullptr, &writeOverlapped_)) {
        DWORD n = 0;
        ::GetOverlappedResult(port, &writeOverlapped_, &n, FALSE);
        written = n;
        return IoResult::Done;
    }
    if (::GetLastError() != ERROR_IO_PENDING) return IoResult::Failed;
    writePending_ = true;
    return IoResult::Pending;
}

bool Win32PortDriver::WaitWrite(std::uint32_t& written)
{
    Shared lock(mutex_);
    written = 0;
    if (port_ == INVALID_HANDLE_VALUE || !writePending_) return false;
    // The handle stays valid while we hold the lock, even once closing began:
    // the write has to be finished either way before its buffer is let go.
    HANDLE events[] = {writeOverlapped_.hEvent, closeEvent_};
    if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
        ::CancelIoEx(port_, &writeOverlapped_);
    DWORD n = 0;
    const BOOL ok = ::GetOverlappedResult(port_, &writeOverlapped_, &n, TRUE);
    writePending_ = false;
    written = n;
    return ok != FALSE;
}

bool Win32PortDriver::EscapeCommFunction(std::uint32_t function)
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    return port != INVALID_HANDLE_VALUE && ::EscapeCommFunction(port, function);
}

bool Win32PortDriver::GetCommModemStatus(std::uint32_t& status)
{
    Shared lock(mutex_);
    status = 0;
    HANDLE port = PortLocked();
    DWORD s = 0;
    if (port == INVALID_HANDLE_VALUE || !::GetCommModemStatus(port, &s)) return false;
    status = s;
    return true;
}

bool Win32PortDriver::SetCommBreak()
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    return port != INVALID_HANDLE_VALUE && ::SetCommBreak(port);
}

bool Win32PortDriver::ClearCommBreak()
{
    Shared lock(mutex_);
    HANDLE port = PortLocked();
    return port != INVALID_HANDLE_VALUE && ::ClearCommBreak(port);
}

std::unique_ptr<PortDriver> MakePlatformPortDriver() { return std::make_unique<Win32PortDriver>(); }

} // namespace vandrel::serial
