#include "simulator/sim_line_latency.h"

#include <algorithm>

namespace vandrel::simulator {

namespace {
// Below this much owed time no sleep is started: the shortest sleep most
// systems keep to within a fraction.
constexpr std::int64_t kMinSleepUs = 250;
// What a sleep overran by is made up for by the calls after it, up to this
// much: beyond it the machine stalled, which an adapter would not make up for.
constexpr std::int64_t kMostCreditUs = 5000;
} // namespace

LineLatency::LineLatency(std::shared_ptr<serial::LinePeer> inner, Clock& clock, std::int64_t latencyUs)
    : inner_(std::move(inner)), clock_(clock), latencyUs_(latencyUs > 0 ? latencyUs : 0) {}

void LineLatency::Spend() {
    ++calls_;
    if (latencyUs_ == 0)
        return;
    std::lock_guard lock(debtMutex_);
    debtUs_ += latencyUs_;
    if (debtUs_ < kMinSleepUs)
        return;
    const std::int64_t start = clock_.NowUs();
    clock_.WaitUs(debtUs_);
    debtUs_ = std::max(debtUs_ - (clock_.NowUs() - start), -kMostCreditUs);
}

void LineLatency::OnEscape(std::uint32_t function) {
    Spend();
    if (inner_)
        inner_->OnEscape(function);
}

void LineLatency::OnBreak(bool on) {
    Spend();
    if (inner_)
        inner_->OnBreak(on);
}

std::uint32_t LineLatency::ModemStatus() {
    Spend();
    return inner_ ? inner_->ModemStatus() : 0;
}

void LineLatency::OnData(const std::uint8_t* data, std::uint32_t count) {
    if (inner_)
        inner_->OnData(data, count);
}

} // namespace vandrel::simulator
