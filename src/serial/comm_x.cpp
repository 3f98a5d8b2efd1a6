#include "serial/comm_x.h"

#include <algorithm>
#include <climits>

#include "serial/comm_x_impl.h"

namespace vandrel::serial {

namespace {
constexpr std::uint32_t kEventMask = win::EV_RXCHAR | win::EV_BREAK | win::EV_ERR; // 0x00C1
constexpr std::size_t kMaxDeviceName = 15;
} // namespace

std::string CommDeviceName(std::int32_t portNo) {
    std::string name = "\\\\.\\COM" + std::to_string(portNo);
    if (name.size() > kMaxDeviceName)
        return {};
    return name;
}

TCustomCommX::TCustomCommX() : impl_(std::make_unique<Impl>(*this)) {
    impl_->shared.FlowCtrl.store(cfcRtsCts);
    impl_->portState.DCBlength = 28;
}

TCustomCommX::~TCustomCommX() {
    try {
        Close();
    } catch (...) {
        // A destructor raises nothing.
    }
    impl_->channel.Shutdown();
}

// ---------------------------------------------------------------- open / close

void TCustomCommX::Open() {
    Impl& d = *impl_;
    if (d.IsOpen())
        throw ECommError("COM port has been opened.");
    d.lastOsError.clear();

    const std::string name = CommDeviceName(d.portNo);
    if (name.empty()) {
        d.lastOsError = "Port number out of range";
        throw ECommError("Cannot open COM port.", d.lastOsError);
    }
    std::unique_ptr<PortDriver> driver = d.driverFactory ? d.driverFactory(name) : MakePlatformPortDriver();
    if (!driver) {
        d.lastOsError = "No driver for this port";
        throw ECommError("Cannot open COM port.", d.lastOsError);
    }
    std::string osError;
    if (!driver->Open(name, osError)) {
        d.lastOsError = osError;
        throw ECommError("Cannot open COM port.", osError);
    }
    d.driver = std::move(driver);
    d.handle = d.driver->NativeHandle();
    d.closing = false;

    try {
        {
            std::lock_guard lock(d.shared.CountLock);
            d.shared.PendingBytes = 0;
            d.shared.PendingChunks = 0;
        }
        ApplyBufferSizes();
        d.driver->PurgeComm(win::PURGE_TXABORT | win::PURGE_TXCLEAR);
        d.driver->PurgeComm(win::PURGE_RXABORT | win::PURGE_RXCLEAR);
        d.driver->GetCommState(d.portState);
        ApplyBitRate();
        ApplyCharSize();
        ApplyParityBit();
        ApplyStopBit();
        ApplyFlowCtrl();
        ApplyTimeouts();
        ApplyXonChar();
        ApplyXoffChar();
        d.driver->SetCommMask(kEventMask);
        StartWorkers();
    } catch (...) {
        Close();
        throw;
    }
}

void TCustomCommX::StartWorkers() {
    Impl& d = *impl_;
    d.transThread.reset();
    d.recvThread.reset();
    try {
        auto trans = std::make_unique<TCommTransThread>(d.shared, *d.driver, d.channel, *d.clock);
        const auto charTime = TCommTransThread::CharTimeFor(d.bitRate);
        if (!charTime)
            throw ECommError("Cannot build trans-thread.");
        trans->SetCharTime(*charTime);
        trans->Start();
        d.transThread = std::move(trans);
    } catch (const ECommError&) {
        throw;
    } catch (const std::exception&) {
        throw ECommError("Cannot build trans-thread.");
    }
    try {
        auto recv = std::make_unique<TCommReceiveThread>(*d.driver, d.channel, *d.clock);
        recv->Start();
        d.recvThread = std::move(recv);
    } catch (const std::exception&) {
        throw ECommError("Cannot build recv-thread.");
    }
    d.clock->WaitMs(100);
}

void TCustomCommX::StopWorkers() {
    Impl& d = *impl_;
    if (d.transThread)
        d.transThread->RequestStop();
    if (d.recvThread)
        d.recvThread->RequestStop();
    // A worker waiting for the owner to handle a notification gives up now.
    d.channel.Poke();
    // Both must be gone before the handle closes.
    if (d.transThread)
        d.transThread->Join();
    if (d.recvThread)
        d.recvThread->Join();
    d.transThread.reset();
    d.recvThread.reset();
    // Whatever they left queued belongs to this opening and fires nothing.
    d.channel.DropPending();
}

void TCustomCommX::Close() {
    Impl& d = *impl_;
    if (!d.IsOpen())
        return;
    d.closing = true;
    SetDtr(false);
    SetRts(false);
    PurgeTransmit();
    PurgeReceive();
    d.clock->WaitMs(100);
    StopWorkers();
    d.driver->CloseHandle();
    d.driver.reset();
    d.handle = INVALID_HANDLE_VALUE;
    d.clock->WaitMs(200);
    d.closing = false;
}

// ---------------------------------------------------------------- applying settings

void TCustomCommX::ApplyBufferSizes() {
    Impl& d = *impl_;
    if (!d.driver->SetupComm(d.bufLenReceive, d.bufLenTrans))
        throw ECommError("Cannot allocation trans-buffer");
}

void TCustomCommX::ApplyState(const char* message) {
    if (!impl_->driver->SetCommState(impl_->portState))
        throw ECommError(message);
}

void TCustomCommX::ApplyBitRate() {
    Impl& d = *impl_;
    d.portState.BaudRate = static_cast<std::uint32_t>(d.bitRate);
    ApplyState("Error occured when bitrate configuration");
    if (d.transThread) {
        // Below 10 bit/s there is no character time: the worker keeps its old one.
        const auto charTime = TCommTransThread::CharTimeFor(d.bitRate);
        if (!charTime)
            throw ECommError("Error occured when bitrate configuration");
        d.transThread->SetCharTime(*charTime);
    }
}

void TCustomCommX::ApplyCharSize() {
    impl_->portState.ByteSize = static_cast<std::uint8_t>(impl_->charSize & 0xFF);
    ApplyState("Error occured when bitsize configuration");
}

void TCustomCommX::ApplyParityBit() {
    Impl& d = *impl_;
    switch (d.parityBit) {
    case cpbNone: d.portState.Parity = win::NOPARITY; break;
    case cpbOdd: d.portState.Parity = win::ODDPARITY; break;
    case cpbEven: d.portState.Parity = win::EVENPARITY; break;
    default: return;
    }
    ApplyState("Error occured when parity configuration");
}

void TCustomCommX::ApplyStopBit() {
    Impl& d = *impl_;
    switch (d.stopBit) {
    case csb1: d.portState.StopBits = win::ONESTOPBIT; break;
    case csb1p5: d.portState.StopBits = win::ONE5STOPBITS; break;
    case csb2: d.portState.StopBits = win::TWOSTOPBITS; break;
    default: return;
    }
    ApplyState("Error occured when stopbits configuration");
}

std::uint32_t TCustomCommX::FlowFlags(TCommFlowCtrls flow) {
    using namespace win;
    std::uint32_t flags = fBinary | fParity;
    switch (flow) {
    case cfcRtsCts: flags |= fOutxCtsFlow | DTR_CONTROL_ENABLE | RTS_CONTROL_HANDSHAKE; break;
    case cfcDtrDsr: flags |= fOutxDsrFlow | DTR_CONTROL_HANDSHAKE | RTS_CONTROL_ENABLE; break;
    case cfcXonXoff: flags |= fOutX | fInX | DTR_CONTROL_ENABLE | RTS_CONTROL_ENABLE; break;
    case cfcHalfHigh: flags |= DTR_CONTROL_ENABLE; break;
    default: flags |= DTR_CONTROL_ENABLE | RTS_CONTROL_ENABLE; break;
    }
    return flags;
}

void TCustomCommX::ApplyFlowCtrl() {
    Impl& d = *impl_;
    d.portState.Flags = FlowFlags(d.shared.FlowCtrl.load());
    const auto limit = static_cast<std::uint16_t>(d.bufLenReceive / 4);
    d.portState.XonLim = limit;
    d.portState.XoffLim = limit;
    ApplyState("Error occured when flow-control configuration");
}

void TCustomCommX::ApplyTimeouts() {
    Impl& d = *impl_;
    CommTimeouts timeouts;
    d.driver->GetCommTimeouts(timeouts);
    timeouts.ReadIntervalTimeout = win::MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = static_cast<std::uint32_t>(d.timeOutReceive);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = static_cast<std::uint32_t>(d.timeOutTrans);
    if (!d.driver->SetCommTimeouts(timeouts))
        throw ECommError("Error occured when timeout configuration");
}

void TCustomCommX::ApplyXonChar() {
    impl_->portState.XonChar = impl_->xonChar;
    ApplyState("Error occured when Xon character configuration");
}

void TCustomCommX::ApplyXoffChar() {
    impl_->portState.XoffChar = impl_->xoffChar;
    ApplyState("Error occured when Xoff character configuration");
}

// ---------------------------------------------------------------- properties

std::int32_t TCustomCommX::PortNo() const { return impl_->portNo; }
void TCustomCommX::SetPortNo(std::int32_t value) {
    impl_->portNo = value;
    if (impl_->IsOpen()) {
        Close();
        Open();
    }
}

std::int32_t TCustomCommX::BitRate() const { return impl_->bitRate; }
void TCustomCommX::SetBitRate(std::int32_t value) {
    impl_->bitRate = value;
    if (impl_->IsOpen())
        ApplyBitRate();
}

std::int32_t TCustomCommX::CharSize() const { return impl_->charSize; }
void TCustomCommX::SetCharSize(std::int32_t value) {
    impl_->charSize = value;
    if (impl_->IsOpen())
        ApplyCharSize();
}

TCommParityBits TCustomCommX::ParityBit() const { return impl_->parityBit; }
void TCustomCommX::SetParityBit(TCommParityBits value) {
    impl_->parityBit = value;
    if (impl_->IsOpen())
        ApplyParityBit();
}

TCommStopBits TCustomCommX::StopBit() const { return impl_->stopBit; }
void TCustomCommX::SetStopBit(TCommStopBits value) {
    impl_->stopBit = value;
    if (impl_->IsOpen())
        ApplyStopBit();
}

TCommFlowCtrls TCustomCommX::FlowCtrl() const { return impl_->shared.FlowCtrl.load(); }
void TCustomCommX::SetFlowCtrl(TCommFlowCtrls value) {
    impl_->shared.FlowCtrl.store(value);
    if (impl_->IsOpen())
        ApplyFlowCtrl();
}

std::int32_t TCustomCommX::TimeOutTrans() const { return impl_->timeOutTrans; }
void TCustomCommX::SetTimeOutTrans(std::int32_t value) {
    impl_->timeOutTrans = value;
    if (impl_->IsOpen())
        ApplyTimeouts();
}

std::int32_t TCustomCommX::TimeOutReceive() const { return impl_->timeOutReceive; }
void TCustomCommX::SetTimeOutReceive(std::int32_t value) {
    impl_->timeOutReceive = value;
    if (impl_->IsOpen())
        ApplyTimeouts();
}

char TCustomCommX::XonChar() const { return impl_->xonChar; }
void TCustomCommX::SetXonChar(char value) {
    impl_->xonChar = value;
    if (impl_->IsOpen())
        ApplyXonChar();
}

char TCustomCommX::XoffChar() const { return impl_->xoffChar; }
void TCustomCommX::SetXoffChar(char value) {
    impl_->xoffChar = value;
    if (impl_->IsOpen())
        ApplyXoffChar();
}

std::int32_t TCustomCommX::BufLenTrans() const { return impl_->bufLenTrans; }
void TCustomCommX::SetBufLenTrans(std::int32_t value) {
    impl_->bufLenTrans = value;
    if (impl_->IsOpen())
        ApplyBufferSizes();
}

std::int32_t TCustomCommX::BufLenReceive() const { return impl_->bufLenReceive; }
void TCustomCommX::SetBufLenReceive(std::int32_t value) {
    impl_->bufLenReceive = value;
    if (impl_->IsOpen()) {
        ApplyBufferSizes();
        ApplyFlowCtrl();
    }
}

std::uint32_t TCustomCommX::Handle() const { return impl_->handle; }

// ---------------------------------------------------------------- seams

void TCustomCommX::SetDriverFactory(PortDriverFactory factory) { impl_->driverFactory = std::move(factory); }
PortDriver* TCustomCommX::Driver() const { return impl_->driver.get(); }
void TCustomCommX::SetClock(Clock& clock) { impl_->clock = &clock; }
void TCustomCommX::SetPumpHook(std::function<void()> hook) { impl_->pumpHook = std::move(hook); }
void TCustomCommX::SetNotificationWakeup(std::function<void()> wakeup) {
    impl_->channel.SetWakeup(std::move(wakeup));
}
void TCustomCommX::ProcessNotifications() { impl_->channel.Process(); }

void TCustomCommX::HandleNotification(std::uint32_t message, std::uint32_t lParam) {
    Impl& d = *impl_;
    if (!d.IsOpen() || d.closing)
        return;
    switch (message) {
    case CXM_RECEIVE:
        if (OnReceive) {
            const std::int32_t n = ReceivedCount();
            if (n != 0)
                OnReceive(this, n);
        }
        break;
    case CXM_BREAK:
        if (OnBreak)
            OnBreak(this);
        break;
    case CXM_ERROR:
        if (OnError)
            OnError(this, static_cast<std::int32_t>(lParam));
        break;
    default:
        break;
    }
}

const std::string& TCustomCommX::LastOsError() const { return impl_->lastOsError; }
const PortState& TCustomCommX::GetPortState() const { return impl_->portState; }

std::int32_t TCustomCommX::PendingBytes() const {
    std::lock_guard lock(impl_->shared.CountLock);
    return static_cast<std::int32_t>(std::min<std::int64_t>(impl_->shared.PendingBytes, INT32_MAX));
}

std::int32_t TCustomCommX::PendingChunks() const {
    std::lock_guard lock(impl_->shared.CountLock);
    return impl_->shared.PendingChunks;
}

} // namespace vandrel::serial
