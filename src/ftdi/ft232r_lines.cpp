#include "ftdi/ft232r_lines.h"

#include <algorithm>

namespace vandrel::ftdi {

std::size_t Ft232rTiming::IdleBytesUs(std::int64_t us) const {
    if (us <= 0)
        return 0;
    // Rounded up: never a tick short of the wait.
    const std::int64_t perSecond = std::max(bytesPerSecond, 1);
    return static_cast<std::size_t>((us * perSecond + 999'999) / 1'000'000);
}

Ft232rLines::Ft232rLines(FtdiDevice& device, const Ft232rTiming& timing, std::uint8_t pins)
    : device_(device), timing_(timing), stream_(pins) {}

bool Ft232rLines::Change(AdapterLine line, bool asserted) {
    std::lock_guard lock(mutex_);
    if (problem_)
        return false;
    stream_.Set(line, asserted);
    // A stream that grew to a transfer's size goes now (a long walk of
    // increments asks for no result on the way).
    return stream_.Size() < timing_.maxTransferBytes || SendLocked();
}

bool Ft232rLines::EscapeCommFunction(std::uint32_t function) {
    AdapterLine line{};
    bool asserted = false;
    if (!LineOfEscape(function, line, asserted))
        return false;
    return Change(line, asserted);
}

bool Ft232rLines::SetCommBreak() { return Change(AdapterLine::Txd, true); }

bool Ft232rLines::ClearCommBreak() { return Change(AdapterLine::Txd, false); }

void Ft232rLines::SampleModemStatus() {
    std::lock_guard lock(mutex_);
    // After a failure nothing is sampled: the collection fails as a whole.
    if (!problem_)
        stream_.Sample();
}

bool Ft232rLines::Fail(const FtdiProblem& problem) {
    problem_ = problem;
    // What is in flight behind the failed transfer is collected and dropped.
    while (!inFlight_.empty()) {
        std::vector<std::uint8_t> in;
        FtdiProblem ignored;
        device_.Collect(inFlight_.front().ticket, in, ignored);
        inFlight_.pop_front();
    }
    return false;
}

bool Ft232rLines::CollectOldestLocked() {
    const InFlight transfer = std::move(inFlight_.front());
    inFlight_.pop_front();
    std::vector<std::uint8_t> in;
    FtdiProblem problem;
    if (!device_.Collect(transfer.ticket, in, problem) || in.size() < transfer.count) {
        if (!problem)
            problem = {FtdiProblem::Kind::Transfer, "short read: " + std::to_string(in.size()) + " of " +
                                                        std::to_string(transfer.count) + " bytes came back"};
        return Fail(problem);
    }
    for (const std::size_t position : transfer.samples)
        ready_.push_back({true, ModemStatusOfPins(in[position])});
    return true;
}

bool Ft232rLines::SubmitLocked(std::size_t most) {
    if (problem_)
        return false;
    if (stream_.Empty())
        return true;
    Ft232rStream::Batch batch = stream_.Take();
    std::size_t next = 0; // the first sample not yet given to a transfer
    for (std::size_t at = 0; at < batch.bytes.size();) {
        const std::size_t count = std::min(timing_.maxTransferBytes, batch.bytes.size() - at);
        while (inFlight_.size() >= std::max<std::size_t>(most, 1))
            if (!CollectOldestLocked())
                return false;
        InFlight transfer;
        transfer.count = count;
        for (; next < batch.samples.size() && batch.samples[next] < at + count; ++next)
            transfer.samples.push_back(batch.samples[next] - at);
        ++transfers_;
        bytes_ += count;
        transfer.ticket = device_.Submit(std::vector<std::uint8_t>(
            batch.bytes.begin() + static_cast<std::ptrdiff_t>(at),
            batch.bytes.begin() + static_cast<std::ptrdiff_t>(at + count)));
        inFlight_.push_back(std::move(transfer));
        at += count;
    }
    return true;
}

bool Ft232rLines::SendLocked() {
    // One transfer in flight at a time: each is collected before the next
    // goes (as the link did before it streamed).
    if (!SubmitLocked(inFlight_.empty() ? 1 : timing_.transfersInFlight))
        return false;
    while (!inFlight_.empty())
        if (!CollectOldestLocked())
            return false;
    return true;
}

bool Ft232rLines::GetCommModemStatus(std::uint32_t& status) {
    std::lock_guard lock(mutex_);
    if (problem_)
        return false;
    stream_.Sample();
    if (!SendLocked())
        return false;
    status = ready_.back().status;
    ready_.pop_back();
    return true;
}

bool Ft232rLines::CollectSamples(std::vector<StatusSample>& samples) {
    std::lock_guard lock(mutex_);
    samples.clear();
    if (!SendLocked())
        return false;
    samples.swap(ready_);
    return true;
}

bool Ft232rLines::TakeSamples(std::vector<StatusSample>& samples, bool wait) {
    std::lock_guard lock(mutex_);
    samples.clear();
    const bool ok = wait || !timing_.stream ? SendLocked()
                         : stream_.Size() < timing_.StreamBytes() || SubmitLocked(timing_.transfersInFlight);
    // After a failure, what came back before it still counts.
    samples.swap(ready_);
    ready_.clear();
    return ok && !problem_;
}

bool Ft232rLines::Flush() {
    std::lock_guard lock(mutex_);
    return SendLocked();
}

bool Ft232rLines::Pause(Clock& clock, std::int64_t ms) {
    {
        std::lock_guard lock(mutex_);
        if (problem_)
            return false;
        if (ms <= timing_.maxStreamWaitMs) {
            stream_.Hold(timing_.IdleBytes(ms));
            return true;
        }
        if (!SendLocked())
            return false;
    }
    clock.WaitMs(ms);
    return true;
}

bool Ft232rLines::PauseUs(Clock& clock, std::int64_t us) {
    if (us >= timing_.maxStreamWaitMs * 1000)
        return Pause(clock, (us + 999) / 1000);
    std::lock_guard lock(mutex_);
    if (problem_)
        return false;
    stream_.Hold(timing_.IdleBytesUs(us));
    return true;
}

FtdiProblem Ft232rLines::Problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

} // namespace vandrel::ftdi
