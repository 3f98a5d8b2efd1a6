#include "simulator/sim_ft232r.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

#include "ftdi/adapter_pins.h"

namespace vandrel::simulator {

using ftdi::AdapterLine;
using ftdi::FtdiProblem;

struct SimFt232r::State {
    State(std::shared_ptr<serial::LinePeer> p, Clock& c, std::int64_t latency)
        : peer(std::move(p)), clock(c), latencyUs(latency > 0 ? latency : 0) {}

    mutable std::mutex mutex;
    std::shared_ptr<serial::LinePeer> peer;
    Clock& clock;
    const std::int64_t latencyUs;
    ftdi::FtdiDeviceInfo info = SimulatedCableInfo();

    bool plugged = true;
    bool open = false;
    int openCount = 0;
    FtdiProblem refusal;
    bool bitBang = false;
    std::uint8_t outputMask = 0;
    int bytesPerSecond = 1;
    int latencyTimerMs = 16;
    std::uint8_t pins = ftdi::kReleasedPins;

    std::uint64_t transfers = 0, bytes = 0;
    std::uint64_t pullAt = 0;                 // transfer number; 0 none
    std::uint64_t shortAt = 0;
    std::size_t shortBy = 0;

    // Under mutex: puts `next` on the pins; each line that changes reaches
    // the peer, in the table's order (one per byte from the link).
    void Apply(std::uint8_t next) {
        next = static_cast<std::uint8_t>((next & outputMask) | (pins & ~outputMask));
        for (const ftdi::AdapterPin& pin : ftdi::kAdapterPins) {
            if (!pin.output || ((next ^ pins) & (1u << pin.bit)) == 0)
                continue;
            const bool asserted = ftdi::IsAsserted(next, pin.line);
            pins = ftdi::WithLine(pins, pin.line, asserted);
            if (!peer)
                continue;
            if (pin.line == AdapterLine::Txd)
                peer->OnBreak(asserted);
            else
                peer->OnEscape(asserted ? pin.assertCall : pin.releaseCall);
        }
    }

    // Under mutex: the pins as read back, CTS as the peer drives it.
    std::uint8_t ReadPins() const {
        const bool cts = peer && (peer->ModemStatus() & serial::win::MS_CTS_ON) != 0;
        return ftdi::WithLine(pins, AdapterLine::Cts, cts);
    }

    // A transfer submitted and not yet collected. Its bytes reach the pins
    // when it is collected (the clock moves on only then), from `startUs`:
    // its latency counted from its submission, or the end of the transfer
    // before it on the wire, whichever is later.
    struct InFlight {
        std::uint64_t ticket = 0, number = 0;
        std::vector<std::uint8_t> out;
        std::int64_t startUs = 0;
        FtdiProblem problem; // set: the transfer failed at its submission
    };
    std::deque<InFlight> inFlight;
    std::uint64_t nextTicket = 1;
    std::int64_t wireEndUs = 0;           // where the last transfer submitted ends
    std::uint64_t waitingTransfers = 0;   // submitted with none in flight

    std::uint64_t Submit(const std::vector<std::uint8_t>& out);
    bool Collect(std::uint64_t ticket, std::vector<std::uint8_t>& in, FtdiProblem& problem);
    // Under mutex: puts the transfer's bytes on the pins; its read-back into `in`.
    bool Run(const InFlight& transfer, std::vector<std::uint8_t>& in, FtdiProblem& problem);
    std::int64_t TickUs(std::uint64_t i) const {
        return static_cast<std::int64_t>(i * 1'000'000u / static_cast<std::uint64_t>(bytesPerSecond));
    }

    // Under mutex: lets `us` of the cable's time pass. With a shortest sleep
    // set, a wait shorter than that is owed and paid with a later one, never
    // made up for by a shorter one: the chip may see a line change a little
    // early, but the line change after a stretch of idle bytes (every wait in
    // the stream is kTimedIdleUs or more of them) pays all that is owed, so
    // no wait the chip times comes out shorter than its bytes.
    void Spend(std::int64_t us) {
        owedUs += us;
        if (owedUs >= minSleepUs || us >= kTimedIdleUs)
            SpendOwed();
    }
    // The shortest wait the link puts in the stream is TDIS (100 us); line
    // changes of a frame follow each other within a few ticks.
    static constexpr std::int64_t kTimedIdleUs = 50;
    void SpendOwed() {
        if (owedUs > 0)
            clock.WaitUs(owedUs);
        owedUs = 0;
    }
    std::int64_t owedUs = 0;
    std::int64_t minSleepUs = 0;
};

ftdi::FtdiDeviceInfo SimulatedCableInfo() {
    ftdi::FtdiDeviceInfo info;
    info.serial = kSimFt232rSerial;
    info.description = "FT232R USB UART (simulated)";
    return info;
}

namespace {

class SimDevice final : public ftdi::FtdiDevice {
public:
    explicit SimDevice(std::shared_ptr<SimFt232r::State> state) : state_(std::move(state)) {}
    ~SimDevice() override { Close(); }

    bool SetSyncBitBang(std::uint8_t outputMask, int bytesPerSecond, int latencyMs, FtdiProblem& problem) override {
        std::lock_guard lock(state_->mutex);
        if (!Usable(problem))
            return false;
        if (bytesPerSecond <= 0 || latencyMs < 1 || latencyMs > 255) {
            problem = {FtdiProblem::Kind::Other, "unsupported bit-bang rate or latency"};
            return false;
        }
        state_->bitBang = true;
        state_->outputMask = outputMask;
        state_->bytesPerSecond = bytesPerSecond;
        state_->latencyTimerMs = latencyMs;
        return true;
    }

    bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                  FtdiProblem& problem) override {
        std::uint64_t ticket = 0;
        {
            std::lock_guard lock(state_->mutex);
            in.clear();
            if (!Usable(problem))
                return false;
            ticket = state_->Submit(out);
        }
        return Collect(ticket, in, problem);
    }

    std::uint64_t Submit(const std::vector<std::uint8_t>& out) override {
        std::lock_guard lock(state_->mutex);
        FtdiProblem problem;
        if (!Usable(problem)) {
            failed_[state_->nextTicket] = problem;
            return state_->nextTicket++;
        }
        return state_->Submit(out);
    }

    bool Collect(std::uint64_t ticket, std::vector<std::uint8_t>& in, FtdiProblem& problem) override {
        std::lock_guard lock(state_->mutex);
        in.clear();
        if (const auto it = failed_.find(ticket); it != failed_.end()) {
            problem = it->second;
            failed_.erase(it);
            return false;
        }
        if (closed_) {
            problem = {FtdiProblem::Kind::Other, "the cable is not open"};
            return false;
        }
        return state_->Collect(ticket, in, problem);
    }

    void Close() override {
        std::lock_guard lock(state_->mutex);
        if (closed_)
            return;
        closed_ = true;
        if (!state_->open)
            return;
        // What is still in flight goes out first.
        std::vector<std::uint8_t> in;
        FtdiProblem problem;
        if (!state_->inFlight.empty())
            state_->Collect(state_->inFlight.back().ticket, in, problem);
        // Back to the serial driver: a closed port releases its lines (a
        // pulled cable reaches nothing any more).
        state_->SpendOwed();
        state_->bitBang = false;
        if (state_->plugged) {
            state_->outputMask = ftdi::OutputMask();
            state_->Apply(ftdi::kReleasedPins);
        }
        state_->outputMask = 0;
        state_->open = false;
    }

private:
    // Under the state's mutex.
    bool Usable(FtdiProblem& problem) const {
        if (closed_ || !state_->open) {
            problem = {FtdiProblem::Kind::Other, "the cable is not open"};
            return false;
        }
        if (!state_->plugged) {
            problem = {FtdiProblem::Kind::Transfer, "LIBUSB_ERROR_NO_DEVICE: the cable is gone"};
            return false;
        }
        return true;
    }

    std::shared_ptr<SimFt232r::State> state_;
    bool closed_ = false;
    std::map<std::uint64_t, FtdiProblem> failed_; // submitted while the cable was closed or gone
};

} // namespace

std::uint64_t SimFt232r::State::Submit(const std::vector<std::uint8_t>& out) {
    InFlight transfer;
    transfer.ticket = nextTicket++;
    transfer.number = ++transfers;
    if (pullAt != 0 && transfers >= pullAt) {
        plugged = false;
        transfer.problem = {FtdiProblem::Kind::Transfer, "LIBUSB_ERROR_NO_DEVICE: the cable is gone"};
    } else if (!bitBang) {
        transfer.problem = {FtdiProblem::Kind::Other, "not in bit-bang mode"};
    } else {
        bytes += out.size();
        const std::int64_t now = clock.NowUs() + owedUs;
        if (inFlight.empty())
            ++waitingTransfers;
        transfer.startUs = std::max(now + latencyUs, wireEndUs);
        wireEndUs = transfer.startUs + TickUs(out.size());
        transfer.out = out;
    }
    inFlight.push_back(std::move(transfer));
    return inFlight.back().ticket;
}

bool SimFt232r::State::Collect(std::uint64_t ticket, std::vector<std::uint8_t>& in, FtdiProblem& problem) {
    // The transfers before it are on the wire first.
    bool ok = false, found = false;
    while (!found && !inFlight.empty()) {
        const InFlight transfer = std::move(inFlight.front());
        inFlight.pop_front();
        found = transfer.ticket == ticket;
        std::vector<std::uint8_t> readBack;
        FtdiProblem failure;
        const bool done = Run(transfer, readBack, failure);
        if (found) {
            ok = done;
            in = std::move(readBack);
            problem = failure;
        }
    }
    if (!found)
        problem = {FtdiProblem::Kind::Other, "no such transfer in flight"};
    return ok;
}

bool SimFt232r::State::Run(const InFlight& transfer, std::vector<std::uint8_t>& in, FtdiProblem& problem) {
    if (transfer.problem) {
        problem = transfer.problem;
        return false;
    }
    const std::vector<std::uint8_t>& out = transfer.out;
    // A transfer collected late (the real clock went on meanwhile) starts
    // late: its bytes keep their spacing.
    Spend(std::max<std::int64_t>(transfer.startUs - (clock.NowUs() + owedUs), 0));
    // Byte i goes out at i ticks into the transfer. The clock is moved on
    // only before a line change; the far end's CTS follows the lines, so it
    // is read again only after one.
    std::int64_t spentUs = 0;
    in.resize(out.size());
    std::uint8_t readBack = ReadPins();
    for (std::size_t i = 0; i < out.size(); ++i) {
        in[i] = readBack;
        const std::uint8_t next = static_cast<std::uint8_t>((out[i] & outputMask) | (pins & ~outputMask));
        if (next == pins)
            continue;
        const std::int64_t due = TickUs(i);
        Spend(due - spentUs);
        spentUs = due;
        Apply(next);
        readBack = ReadPins();
    }
    Spend(TickUs(out.size()) - spentUs);

    if (shortAt != 0 && transfer.number == shortAt)
        in.resize(in.size() > shortBy ? in.size() - shortBy : 0);
    return true;
}

SimFt232r::SimFt232r(std::shared_ptr<serial::LinePeer> peer, Clock& clock, std::int64_t latencyUs)
    : state_(std::make_shared<State>(std::move(peer), clock, latencyUs)) {}

SimFt232r::~SimFt232r() = default;

std::vector<ftdi::FtdiDeviceInfo> SimFt232r::List(FtdiProblem& problem) {
    std::lock_guard lock(state_->mutex);
    problem = {};
    if (!state_->plugged)
        return {};
    return {state_->info};
}

std::unique_ptr<ftdi::FtdiDevice> SimFt232r::Open(const ftdi::FtdiTarget& target, FtdiProblem& problem) {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    if (!s.plugged || !s.info.Matches(target)) {
        problem = {FtdiProblem::Kind::NotFound, "device not found"};
        return nullptr;
    }
    if (s.refusal) {
        problem = s.refusal;
        return nullptr;
    }
    if (s.open) {
        problem = {FtdiProblem::Kind::Busy, "unable to claim usb device: the cable is in use"};
        return nullptr;
    }
    s.open = true;
    ++s.openCount;
    s.bitBang = false;
    problem = {};
    return std::make_unique<SimDevice>(state_);
}

void SimFt232r::PullCableAtTransfer(std::uint64_t nth) {
    std::lock_guard lock(state_->mutex);
    state_->pullAt = nth == 0 ? 0 : state_->transfers + nth;
}

void SimFt232r::ShortReadAtTransfer(std::uint64_t nth, std::size_t missing) {
    std::lock_guard lock(state_->mutex);
    state_->shortAt = nth == 0 ? 0 : state_->transfers + nth;
    state_->shortBy = missing;
}

void SimFt232r::SetShortestSleep(std::int64_t us) {
    std::lock_guard lock(state_->mutex);
    state_->minSleepUs = us > 0 ? us : 0;
}

void SimFt232r::RefuseOpen(FtdiProblem problem) {
    std::lock_guard lock(state_->mutex);
    state_->refusal = std::move(problem);
}

bool SimFt232r::IsOpen() const {
    std::lock_guard lock(state_->mutex);
    return state_->open;
}

int SimFt232r::OpenCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->openCount;
}

bool SimFt232r::InBitBang() const {
    std::lock_guard lock(state_->mutex);
    return state_->bitBang;
}

std::uint8_t SimFt232r::OutputMask() const {
    std::lock_guard lock(state_->mutex);
    return state_->outputMask;
}

int SimFt232r::LatencyTimerMs() const {
    std::lock_guard lock(state_->mutex);
    return state_->latencyTimerMs;
}

std::uint64_t SimFt232r::Transfers() const {
    std::lock_guard lock(state_->mutex);
    return state_->transfers;
}

std::uint64_t SimFt232r::WaitingTransfers() const {
    std::lock_guard lock(state_->mutex);
    return state_->waitingTransfers;
}

std::uint64_t SimFt232r::BytesWritten() const {
    std::lock_guard lock(state_->mutex);
    return state_->bytes;
}

std::uint8_t SimFt232r::Pins() const {
    std::lock_guard lock(state_->mutex);
    return state_->pins;
}

} // namespace vandrel::simulator
