#include "ftdi/ftdi_port_driver.h"

namespace vandrel::ftdi {

namespace {

// The handle the component shows for an open cable.
constexpr std::uint32_t kHandle = 0x232;

// The fDtrControl / fRtsControl fields of the flags word: 0 off, 1 on, 2 handshake.
constexpr std::uint32_t DtrControl(std::uint32_t flags) { return (flags >> 4) & 3u; }
constexpr std::uint32_t RtsControl(std::uint32_t flags) { return (flags >> 12) & 3u; }

} // namespace

FtdiPortDriver::FtdiPortDriver(std::shared_ptr<FtdiBus> bus, FtdiTarget target, Ft232rTiming timing,
                               std::shared_ptr<FtdiProblem> lastProblem)
    : bus_(std::move(bus)), target_(std::move(target)), timing_(timing), lastProblem_(std::move(lastProblem)) {}

FtdiPortDriver::~FtdiPortDriver() { CloseHandle(); }

bool FtdiPortDriver::Fail(const FtdiProblem& problem, std::string& osError) {
    if (device_)
        device_->Close();
    device_.reset();
    lines_.reset();
    osError = problem.text.empty() ? std::string("cannot be opened") : problem.text;
    if (lastProblem_)
        *lastProblem_ = problem;
    return false;
}

bool FtdiPortDriver::Open(const std::string&, std::string& osError) {
    if (device_)
        return Fail({FtdiProblem::Kind::Busy, "already open"}, osError);
    if (!bus_)
        return Fail({FtdiProblem::Kind::Unavailable, "no USB bus"}, osError);
    FtdiProblem problem;
    device_ = bus_->Open(target_, problem);
    if (!device_)
        return Fail(problem.kind == FtdiProblem::Kind::None ? FtdiProblem{FtdiProblem::Kind::Other, ""} : problem,
                    osError);
    if (!device_->SetSyncBitBang(OutputMask(), timing_.bytesPerSecond, timing_.latencyMs, problem))
        return Fail(problem, osError);
    // The pins as a closed port leaves them, before anything is batched.
    std::vector<std::uint8_t> in;
    if (!device_->Exchange({kReleasedPins}, in, problem))
        return Fail(problem, osError);
    lines_ = std::make_unique<Ft232rLines>(*device_, timing_, kReleasedPins);
    if (lastProblem_)
        *lastProblem_ = {};
    return true;
}

void FtdiPortDriver::CloseHandle() {
    // The closing line changes go out; a dead cable just fails, and what
    // ended its link is kept for whoever asks.
    if (lines_ && !lines_->Flush() && lastProblem_)
        *lastProblem_ = lines_->Problem();
    if (device_)
        device_->Close();
    lines_.reset();
    device_.reset();
}

std::uint32_t FtdiPortDriver::NativeHandle() const { return device_ ? kHandle : 0xFFFFFFFFu; }

// The serial side has nothing to set up: it is not in use in bit-bang mode.
bool FtdiPortDriver::SetupComm(std::int32_t, std::int32_t) { return device_ != nullptr; }
bool FtdiPortDriver::PurgeComm(std::uint32_t) { return device_ != nullptr; }

bool FtdiPortDriver::GetCommState(PortState& state) {
    state = state_;
    return device_ != nullptr;
}

// RTS and DTR follow the settings as on a COM port: control on asserts the
// line, off releases it, handshake leaves it.
bool FtdiPortDriver::SetCommState(const PortState& state) {
    if (!lines_)
        return false;
    state_ = state;
    bool ok = true;
    if (const std::uint32_t dtr = DtrControl(state.Flags); dtr < 2)
        ok = lines_->EscapeCommFunction(dtr == 1 ? win::SETDTR : win::CLRDTR) && ok;
    if (const std::uint32_t rts = RtsControl(state.Flags); rts < 2)
        ok = lines_->EscapeCommFunction(rts == 1 ? win::SETRTS : win::CLRRTS) && ok;
    return ok;
}

bool FtdiPortDriver::GetCommTimeouts(CommTimeouts& timeouts) {
    timeouts = timeouts_;
    return device_ != nullptr;
}

bool FtdiPortDriver::SetCommTimeouts(const CommTimeouts& timeouts) {
    timeouts_ = timeouts;
    return device_ != nullptr;
}

bool FtdiPortDriver::SetCommMask(std::uint32_t) { return true; }

// No event can come; the receive worker then waits for its own stop.
bool FtdiPortDriver::WaitCommEvent(std::uint32_t& mask) {
    mask = 0;
    return false;
}

void FtdiPortDriver::WakeCommEventWaiter() {}

bool FtdiPortDriver::ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue) {
    errors = 0;
    inQueue = 0;
    return true;
}

IoResult FtdiPortDriver::Read(std::uint8_t*, std::uint32_t, std::uint32_t& read) {
    read = 0;
    return IoResult::Failed;
}

IoResult FtdiPortDriver::ReadResult(std::uint32_t& read) {
    read = 0;
    return IoResult::Failed;
}

IoResult FtdiPortDriver::Write(const std::uint8_t*, std::uint32_t, std::uint32_t& written) {
    written = 0;
    return IoResult::Failed;
}

bool FtdiPortDriver::WaitWrite(std::uint32_t& written) {
    written = 0;
    return false;
}

bool FtdiPortDriver::EscapeCommFunction(std::uint32_t function) {
    return lines_ && lines_->EscapeCommFunction(function);
}

bool FtdiPortDriver::GetCommModemStatus(std::uint32_t& status) { return lines_ && lines_->GetCommModemStatus(status); }

bool FtdiPortDriver::SetCommBreak() { return lines_ && lines_->SetCommBreak(); }

bool FtdiPortDriver::ClearCommBreak() { return lines_ && lines_->ClearCommBreak(); }

void FtdiPortDriver::SampleModemStatus() {
    if (lines_)
        lines_->SampleModemStatus();
}

bool FtdiPortDriver::CollectSamples(std::vector<StatusSample>& samples) {
    samples.clear();
    return lines_ && lines_->CollectSamples(samples);
}

bool FtdiPortDriver::TakeSamples(std::vector<StatusSample>& samples, bool wait) {
    samples.clear();
    return lines_ && lines_->TakeSamples(samples, wait);
}

bool FtdiPortDriver::Flush() { return lines_ && lines_->Flush(); }

bool FtdiPortDriver::Pause(Clock& clock, std::int64_t ms) { return lines_ && lines_->Pause(clock, ms); }

bool FtdiPortDriver::PauseUs(Clock& clock, std::int64_t us) { return lines_ && lines_->PauseUs(clock, us); }

PortDriverFactory MakeFtdiPortFactory(std::shared_ptr<FtdiBus> bus, FtdiTarget target, Ft232rTiming timing,
                                      std::shared_ptr<FtdiProblem> lastProblem) {
    return [bus = std::move(bus), target = std::move(target), timing,
            lastProblem = std::move(lastProblem)](const std::string&) -> std::unique_ptr<PortDriver> {
        return std::make_unique<FtdiPortDriver>(bus, target, timing, lastProblem);
    };
}

} // namespace vandrel::ftdi
